#include "lib/worker_set.h"

namespace quorlind {

WorkerSet::~WorkerSet() {
    stop_->raise();
    try {
        gate_->open();
    } catch (...) {
    }
    for (; joined_ < threads_.size(); ++joined_) {
        try {
            threads_[joined_].join();
        } catch (...) {
            // A join that cannot wait leaves nothing more to do for this one.
        }
    }
}

bool WorkerSet::join_all() {
    bool any_abnormal = false;
    while (joined_ < threads_.size()) {
        platform::Thread& thread = threads_[joined_];
        ++joined_;
        any_abnormal |= thread.join() == platform::ThreadEnd::abnormal;
    }
    return any_abnormal;
}

}  // namespace quorlind
