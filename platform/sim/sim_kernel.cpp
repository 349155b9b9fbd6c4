#include "platform/sim/sim_kernel.h"

#include <algorithm>
#include <stdexcept>

namespace zr::sim {

void SimEvent::Set() {
  set_ = true;
  kernel_.Wake();
}

class SimThreadHandle final : public KernelThread {
 public:
  SimThreadHandle(SimKernel& kernel, std::shared_ptr<SimKernel::Thread> thread)
      : kernel_(kernel), thread_(std::move(thread)) {}
  bool Finished() const override { return thread_->finished; }
  void Join() override {
    kernel_.Wake();
    // Nothing else could ever change: waiting would last forever.
    if (!thread_->finished) throw std::logic_error("joining a simulated thread that waits for nothing to come");
  }

 private:
  SimKernel& kernel_;
  std::shared_ptr<SimKernel::Thread> thread_;
};

SimKernel::~SimKernel() { DropAllThreads(); }

std::shared_ptr<KernelEvent> SimKernel::CreateManualResetEvent() { return std::make_shared<SimEvent>(*this); }

int SimKernel::WaitForAny(std::span<KernelEvent* const> events) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto* e = dynamic_cast<const SimEvent*>(events[i]);
    if (e == nullptr) return kWaitFailed;
    if (e->IsSet()) return static_cast<int>(i);
  }
  return kWaitNotYet;
}

std::unique_ptr<KernelThread> SimKernel::StartThread(std::function<ThreadRun()> body) {
  auto t = std::make_shared<Thread>();
  t->body = std::move(body);
  t->id = nextId_++;
  threads_.push_back(t);
  Wake();
  return std::make_unique<SimThreadHandle>(*this, t);
}

void SimKernel::Wake() {
  if (running_) {
    again_ = true;
    return;
  }
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  // Bounded, so that threads that keep waking each other show up as a
  // failure rather than a hang.
  for (int round = 0; round < 100000; ++round) {
    again_ = false;
    for (std::size_t i = 0; i < threads_.size(); ++i) {
      const std::shared_ptr<Thread> t = threads_[i];
      if (t->finished) continue;
      current_ = t->id;
      const ThreadRun run = t->body();
      current_ = 0;
      if (run == ThreadRun::Ended) {
        t->finished = true;
        t->body = nullptr;
      }
    }
    std::erase_if(threads_, [](const std::shared_ptr<Thread>& t) { return t->finished; });
    if (!again_) return;
  }
  throw std::runtime_error("simulated threads do not come to rest");
}

std::size_t SimKernel::LiveThreads() const {
  return static_cast<std::size_t>(std::count_if(threads_.begin(), threads_.end(),
                                                [](const auto& t) { return !t->finished; }));
}

void SimKernel::DropAllThreads() {
  // Moved out first: releasing a body may release objects that reach back here.
  std::vector<std::shared_ptr<Thread>> threads;
  threads.swap(threads_);
  for (auto& t : threads) {
    t->finished = true;
    t->body = nullptr;
  }
}

}  // namespace zr::sim
