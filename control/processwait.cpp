#include "control/processwait.h"

#include "control/terminationsignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QTimerEvent>

#include <utility>

namespace ProcessWait
{
namespace
{
// How often the windows are served while the program runs.
constexpr int SliceMs = 40;

// Filters every event of the GUI thread while a wait runs and keeps what must not happen yet.
class HoldBack : public QObject
{
public:
    enum class Kind
    {
        Timer,
        Event,
        Close,
        Call
    };
    struct Held
    {
        Kind kind;
        QPointer<QObject> target;
        int timerId = 0;
        QEvent::Type type = QEvent::None;
        std::function<void()> call;
    };

    bool eventFilter(QObject* obj, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::Timer:
            // Timers that call slots; the widgets' own timers (animations, painting) go on.
            if (qobject_cast<QTimer*>(obj) || obj->inherits("QSingleShotTimer")) {
                holdTimer(obj, static_cast<QTimerEvent*>(e)->timerId());
                return true;
            }
            return false;
        case QEvent::SockAct:
        case QEvent::SockClose:
            // The notifier fires again as long as its data waits, so nothing needs keeping.
            return true;
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            if (obj->isWidgetType()) {
                m_held.append(Held{Kind::Event, obj, 0, e->type(), {}});
                return true;
            }
            return false;
        case QEvent::Close:
            if (obj->isWindowType()) {
                m_held.append(Held{Kind::Close, obj, 0, QEvent::None, {}});
                return true;
            }
            return false;
        default:
            return false;
        }
    }

    void holdTimer(QObject* obj, int timerId)
    {
        for (const Held& held : std::as_const(m_held)) {
            if (held.kind == Kind::Timer && held.target == obj && held.timerId == timerId)
                return;
        }
        m_held.append(Held{Kind::Timer, obj, timerId, QEvent::None, {}});
    }

    void defer(QObject* context, std::function<void()> call)
    {
        m_held.append(Held{Kind::Call, context, 0, QEvent::None, std::move(call)});
    }

    // Posted rather than sent: they run after the operation that waited has returned.
    void replay()
    {
        for (Held& held : m_held) {
            if (!held.target)
                continue;
            switch (held.kind) {
            case Kind::Timer:
                QCoreApplication::postEvent(held.target.data(), new QTimerEvent(held.timerId));
                break;
            case Kind::Event:
                QCoreApplication::postEvent(held.target.data(), new QEvent(held.type));
                break;
            case Kind::Close:
                QMetaObject::invokeMethod(held.target.data(), "close", Qt::QueuedConnection);
                break;
            case Kind::Call:
                QMetaObject::invokeMethod(held.target.data(), std::move(held.call), Qt::QueuedConnection);
                break;
            }
        }
        m_held.clear();
    }

private:
    QList<Held> m_held;
};

HoldBack* g_holdBack = nullptr;
} // namespace

bool waitForFinished(QProcess* process, int msecs)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (g_holdBack || !app || msecs == 0)
        return process->waitForFinished(msecs);
    if (process->state() == QProcess::NotRunning)
        return false;

    HoldBack holdBack;
    g_holdBack = &holdBack;
    app->installEventFilter(&holdBack);
    QElapsedTimer clock;
    clock.start();
    bool finished = false;
    for (;;) {
        int slice = SliceMs;
        if (msecs > 0) {
            const qint64 left = msecs - clock.elapsed();
            if (left <= 0)
                break;
            slice = int(qMin<qint64>(slice, left));
        }
        if (process->waitForFinished(slice)) {
            finished = true;
            break;
        }
        // The editor is asked to end: the caller ends the program rather than wait for it.
        if (process->state() == QProcess::NotRunning || TerminationSignals::arrived())
            break;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
    }
    app->removeEventFilter(&holdBack);
    g_holdBack = nullptr;
    holdBack.replay();
    return finished;
}

bool isWaiting()
{
    return g_holdBack != nullptr;
}

void deferCall(QObject* context, std::function<void()> call)
{
    if (g_holdBack)
        g_holdBack->defer(context, std::move(call));
    else
        QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

} // namespace ProcessWait
