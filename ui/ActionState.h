#pragma once

#include <functional>
#include <utility>

// One action at a time, for both windows: while one runs their buttons are
// off and clicks are ignored, and a close asked for meanwhile ends the
// program once the action is over (boxes must not go on popping up with no
// window).
class ActionState {
public:
    explicit ActionState(std::function<void()> endProgram) : endProgram_(std::move(endProgram)) { }

    bool running() const { return running_; }
    // The end of an action ends the program when a close was asked for meanwhile.
    void setRunning(bool running)
    {
        running_ = running;
        if (!running && endWhenIdle_)
            endProgram_();
    }
    // A window is closed: the program ends now (true) unless an action runs.
    bool closeIfIdle()
    {
        if (running_)
            return false;
        endProgram_();
        return true;
    }
    void endWhenIdle() { endWhenIdle_ = true; }
    bool endsWhenIdle() const { return endWhenIdle_; }

private:
    std::function<void()> endProgram_;
    bool running_ = false;
    bool endWhenIdle_ = false;
};
