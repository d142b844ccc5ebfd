// Calls from a worker thread to the GUI thread. PostQueuedCall(context, call) runs `call` later
// on `context`'s thread, as a queued call (dropped when `context` is destroyed first).
//
// The call and everything it captured are built on the posting thread and used on the other
// one. Qt's event queue orders the two, but under a lock inside Qt that ThreadSanitizer cannot
// see; QueuedCall makes the hand-over visible to it: the posting side releases the call once it
// is in place (in the copy Qt keeps), the receiving side acquires it before touching it.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <type_traits>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace tavlo::ui {

template <typename Call>
class QueuedCall {
  public:
    explicit QueuedCall(Call call) : call_(std::move(call)) { handOver(); }
    QueuedCall(QueuedCall&& other) noexcept(std::is_nothrow_move_constructible_v<Call>)
        : call_(std::move(other.call_)) {
        handOver();
    }
    QueuedCall(const QueuedCall&) = delete;
    QueuedCall& operator=(const QueuedCall&) = delete;
    QueuedCall& operator=(QueuedCall&&) = delete;
    // A call dropped unrun is destroyed on the receiving thread as well.
    ~QueuedCall() { takeOver(); }

    void operator()() {
        takeOver();
        call_();
    }

  private:
    void handOver() {
#if defined(__SANITIZE_THREAD__)
        __tsan_release(this);
#endif
    }
    void takeOver() {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(this);
#endif
    }

    Call call_;
};

template <typename Call>
void PostQueuedCall(QObject* context, Call&& call) {
    QMetaObject::invokeMethod(context, QueuedCall<std::decay_t<Call>>(std::forward<Call>(call)),
                              Qt::QueuedConnection);
}

}  // namespace tavlo::ui
