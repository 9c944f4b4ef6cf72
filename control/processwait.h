#pragma once

#include <QObject>

#include <functional>

class QProcess;

// Waits for an external program the way the window's blocking operations must (firmware loading,
// the auxiliary command): nothing the user does and nothing the window's own timers or processes
// start is handled until the program ends or the time is up. Unlike a plain
// QProcess::waitForFinished() the windows keep being painted and moved meanwhile.
//
// User input stays queued by Qt. Timer ticks of QTimer and single-shot timers, window activation
// and close requests are held back and posted again, in their order, once the wait is over, so they
// run right after the operation that waited, as they would after a blocked event loop. Process
// output notifications are left pending and arrive by themselves afterwards. A slot that can still
// be reached by a queued call while a wait runs asks isWaiting() and defers itself.
namespace ProcessWait
{

// Like QProcess::waitForFinished(msecs); -1 waits without limit.
bool waitForFinished(QProcess* process, int msecs);

// A wait is running.
bool isWaiting();

// Runs call on context's thread once the running wait is over, after the events held back before
// it. Without a running wait the call is queued at once.
void deferCall(QObject* context, std::function<void()> call);

} // namespace ProcessWait
