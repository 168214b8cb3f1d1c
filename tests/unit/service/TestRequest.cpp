#include "TestRequest.h"

#include "Platform/Runtime/Dispatch.h"

void TestRequest::requestCompletePreprocessor()
{
    ++completePreprocessorCalls;
    completePreprocessedOffMain = !platform::Dispatch::isMainThread();
}
