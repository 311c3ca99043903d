#include "platform/SendTogether.h"

#include <QtGlobal>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <liburing.h>
#include <sys/socket.h>
#endif

namespace platform {

#ifdef Q_OS_LINUX

namespace {

// One ring per process, set up at the first batch. A system that refuses it
// (too old a kernel, or io_uring turned off) leaves the sends one by one.
class SendRing {
public:
    SendRing() {
        io_uring_params params{};
        // A send that cannot even start still has its completion, so that no
        // request is left in the ring for a later batch to send again.
        params.flags = IORING_SETUP_SUBMIT_ALL;
        ready_ = io_uring_queue_init_params(static_cast<unsigned>(kMostSendsTogether), &ring_,
                                            &params) == 0;
    }
    ~SendRing() {
        if (ready_)
            io_uring_queue_exit(&ring_);
    }
    SendRing(const SendRing&) = delete;
    SendRing& operator=(const SendRing&) = delete;

    bool send(std::span<BatchSend> sends);

private:
    void reap(std::span<BatchSend> sends, int count);

    io_uring ring_{};
    bool ready_ = false;
};

bool SendRing::send(std::span<BatchSend> sends) {
    if (!ready_ || sends.size() > kMostSendsTogether)
        return false;
    for (size_t i = 0; i < sends.size(); ++i) {
        io_uring_sqe* request = io_uring_get_sqe(&ring_);
        const QByteArray& data = *sends[i].data;
        // Without waiting for room: what the stack does not take now is the
        // caller's to buffer, as with a plain send.
        io_uring_prep_send(request, sends[i].descriptor, data.constData(),
                           static_cast<size_t>(data.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        io_uring_sqe_set_data64(request, i);
    }
    const int count = static_cast<int>(sends.size());
    int submitted = io_uring_submit_and_wait(&ring_, static_cast<unsigned>(count));
    while (submitted == -EINTR)
        submitted = io_uring_submit_and_wait(&ring_, static_cast<unsigned>(count));
    if (submitted > 0)
        reap(sends, submitted);
    if (submitted != count) {
        // Requests the kernel did not take would go out with a later batch,
        // long after their bytes: the ring is given up instead, and what it
        // did not send is the caller's to buffer.
        io_uring_queue_exit(&ring_);
        ready_ = false;
    }
    return submitted > 0;
}

void SendRing::reap(std::span<BatchSend> sends, int count) {
    for (int reaped = 0; reaped < count;) {
        io_uring_cqe* completion = nullptr;
        const int error = io_uring_wait_cqe(&ring_, &completion);
        if (error == -EINTR)
            continue;
        if (error < 0)
            return; // not told: taken as unsent, for the caller to buffer
        const auto index = static_cast<size_t>(io_uring_cqe_get_data64(completion));
        if (index < sends.size())
            sends[index].sent = std::max(0, completion->res);
        io_uring_cqe_seen(&ring_, completion);
        ++reaped;
    }
}

} // namespace

bool SendTogether(std::span<BatchSend> sends) {
    static SendRing ring;
    return ring.send(sends);
}

#else

bool SendTogether(std::span<BatchSend>) {
    return false;
}

#endif

} // namespace platform
