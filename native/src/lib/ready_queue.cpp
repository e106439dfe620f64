#include "lib/ready_queue.h"

namespace quorlind {
namespace detail {

struct ReadyChannel {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<InitReport> reports;
    std::size_t senders = 0;
    bool receiver_alive = true;
};

}  // namespace detail

ReadySender::ReadySender(std::shared_ptr<detail::ReadyChannel> channel) noexcept
    : channel_(std::move(channel)) {}

ReadySender::ReadySender(const ReadySender& other) : channel_(other.channel_) {
    if (channel_) {
        std::lock_guard lock(channel_->mutex);
        ++channel_->senders;
    }
}

ReadySender::~ReadySender() { release(); }

bool ReadySender::send(InitReport report) const {
    if (!channel_) {
        return false;
    }
    {
        std::lock_guard lock(channel_->mutex);
        if (!channel_->receiver_alive) {
            return false;
        }
        channel_->reports.push_back(std::move(report));
    }
    channel_->changed.notify_one();
    return true;
}

void ReadySender::release() noexcept {
    if (!channel_) {
        return;
    }
    {
        std::lock_guard lock(channel_->mutex);
        --channel_->senders;
    }
    channel_->changed.notify_one();
    channel_.reset();
}

ReadyReceiver::ReadyReceiver(std::shared_ptr<detail::ReadyChannel> channel) noexcept
    : channel_(std::move(channel)) {}

ReadyReceiver::~ReadyReceiver() { release(); }

std::optional<InitReport> ReadyReceiver::receive() {
    if (!channel_) {
        return std::nullopt;
    }
    std::unique_lock lock(channel_->mutex);
    channel_->changed.wait(lock, [&] { return !channel_->reports.empty() || channel_->senders == 0; });
    if (channel_->reports.empty()) {
        return std::nullopt;
    }
    InitReport report = std::move(channel_->reports.front());
    channel_->reports.pop_front();
    return report;
}

void ReadyReceiver::release() noexcept {
    if (!channel_) {
        return;
    }
    {
        std::lock_guard lock(channel_->mutex);
        channel_->receiver_alive = false;
        channel_->reports.clear();  // reports left in the queue die with it
    }
    channel_.reset();
}

std::pair<ReadySender, ReadyReceiver> make_ready_queue() {
    auto channel = std::make_shared<detail::ReadyChannel>();
    channel->senders = 1;
    return {ReadySender(channel), ReadyReceiver(channel)};
}

}  // namespace quorlind
