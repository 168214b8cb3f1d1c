#include "TestRequest.h"

#include "ServiceTestSupport.h"

void TestRequest::requestCompletePreprocessor()
{
    ++completePreprocessorCalls;
    completePreprocessedOffMain = !servicetest::onMainThread();
    if (preprocessorGate)
        preprocessorGate->acquire();
}
