#pragma once
// The self-check window's flow: the long GP-IB timeout for as long as the window is open, the
// ticks that enable Execute, the checks run with the window's input held, and the comment lines
// of the row under the pointer. The window implements CheckTableView and forwards its events here.
#include <memory>
#include <string>

#include "core/app/Engine.h"
#include "core/measurement/SelfCheck.h"

namespace kmr {

// What the self-check window does when told.
class CheckTableView {
public:
    virtual ~CheckTableView() = default;
    virtual void ShowCell(std::size_t row, int channel, const CheckCell& cell) = 0;
    virtual void SetTicked(std::size_t row, bool ticked) = 0;
    virtual void SetExecuteEnabled(bool enabled) = 0;
    virtual void SetInputEnabled(bool enabled) = 0;
    virtual void ShowComment(const std::string& line1, const std::string& line2) = 0;
};

class CheckTablePresenter {
public:
    // The connection takes the checks' 30 s timeout from here until Closed().
    CheckTablePresenter(Engine& e, CheckTableView& view);
    ~CheckTablePresenter();
    CheckTablePresenter(const CheckTablePresenter&) = delete;
    CheckTablePresenter& operator=(const CheckTablePresenter&) = delete;

    const SelfCheck& Check() const { return check_; }
    // A channel's column heading is enabled while the channel is measured.
    bool ChannelMeasured(int channel) const;

    // The window is shown: every row drawn, Execute off until a row is ticked.
    void Opened();
    void Tick(std::size_t row, bool ticked);
    // Runs the ticked checks with the window's input held, then draws the results and unticks
    // the rows that ran.
    void Execute();
    // The pointer is over a row.
    void Pointed(std::size_t row);
    // The window is unloaded: the normal timeout is back before the main window's monitor
    // reads again.
    void Closed() { timeout_.reset(); }

private:
    void ShowRow(std::size_t row);

    Engine& e_;
    CheckTableView& view_;
    SelfCheck check_;
    std::unique_ptr<LongCheckTimeout> timeout_;
};

}  // namespace kmr
