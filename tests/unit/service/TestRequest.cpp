#include "TestRequest.h"

#include "Platform/Dispatch.h"

void TestRequest::requestCompletePreprocessor()
{
    ++completePreprocessorCalls;
    completePreprocessedOffMain = !platform::Dispatch::isMainThread();
}
