#pragma once
// How a flashing run reports while it runs. The engines call these from their worker thread and
// never wait for the receiver: a window implements them by queuing the update into its own
// thread; the command-line tool reads the atomics instead.
namespace kelmor::flash {

class FlashObserver {
  public:
    virtual ~FlashObserver() = default;
    // The loader bar's new position (loader bytes echoed, or the command step of the H8/3069
    // boot path).
    virtual void LoaderProgress(int position) { (void)position; }
    // The program bar's new position.
    virtual void ProgramProgress(int position) { (void)position; }
    // The flash is being rewritten from now on: the run can no longer be cancelled harmlessly.
    virtual void FlashingBegun() {}
    // The worker thread's last action: the run of this channel (0 for a single run) has ended
    // and its result is in the engine.
    virtual void RunEnded(int channel) { (void)channel; }
};

}  // namespace kelmor::flash
