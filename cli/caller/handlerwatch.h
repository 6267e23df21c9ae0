#ifndef CLI_HANDLERWATCH_H
#define CLI_HANDLERWATCH_H

// The library's sigaction() and signal() are ours: the program exports them,
// so the library's calls reach them first, and they go on to the C
// library's. A call that sets a handler for SIGSEGV, whatever handler, is
// noted, so that the fault handler need only be read back after a call that
// may have changed it. A library that sets one with the bare system call
// goes round them: the handler is then also read back now and then.
namespace HandlerWatch {

// Whether a handler for SIGSEGV was set since the last time this was asked.
bool segvHandlerSet();

} // namespace HandlerWatch

#endif
