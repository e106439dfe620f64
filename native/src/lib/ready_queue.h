#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quorlind {

// What a worker says once it has built its data (or failed to).
struct InitReport {
    std::optional<std::string> failure;  // the build's error text, if any

    static InitReport success() { return {}; }
    static InitReport failed(std::string error) { return {std::move(error)}; }
};

namespace detail {
struct ReadyChannel;
}  // namespace detail

class ReadyReceiver;

// Sending end of the ready queue. Copies are further sending ends; the queue
// reports disconnection once every sending end has been released.
class ReadySender {
public:
    ReadySender(const ReadySender& other);
    ReadySender& operator=(const ReadySender&) = delete;
    ReadySender(ReadySender&& other) noexcept = default;
    ReadySender& operator=(ReadySender&&) = delete;
    ~ReadySender();

    // Never blocks. False (the report discarded) once the receiver is gone.
    bool send(InitReport report) const;
    void release() noexcept;

private:
    friend std::pair<ReadySender, ReadyReceiver> make_ready_queue();
    explicit ReadySender(std::shared_ptr<detail::ReadyChannel> channel) noexcept;
    std::shared_ptr<detail::ReadyChannel> channel_;
};

// Receiving end: the coordinator's, unique.
class ReadyReceiver {
public:
    ReadyReceiver(ReadyReceiver&&) noexcept = default;
    ReadyReceiver& operator=(ReadyReceiver&&) = delete;
    ~ReadyReceiver();

    // Blocks without time limit until a report arrives; nothing once the
    // queue is empty and every sending end has been released.
    std::optional<InitReport> receive();
    void release() noexcept;

private:
    friend std::pair<ReadySender, ReadyReceiver> make_ready_queue();
    explicit ReadyReceiver(std::shared_ptr<detail::ReadyChannel> channel) noexcept;
    std::shared_ptr<detail::ReadyChannel> channel_;
};

// An unbounded multi-producer, single-consumer FIFO of InitReport.
std::pair<ReadySender, ReadyReceiver> make_ready_queue();

}  // namespace quorlind
