#pragma once
// The ports through which the start-up sequence, the run controller, the transfer and the monitor
// talk to the windows: the splash window and the main window. The GUI implements them with Qt;
// the command-line tool and the tests implement them without a screen.
#include <string>

namespace kmr {

// The start-up splash window: a caption, a status line and a progress bar.
class SplashView {
public:
    virtual ~SplashView() = default;
    virtual void Show(const std::string& title, const std::string& status, int maximum) = 0;
    virtual void SetStatus(const std::string& status) = 0;
    virtual void SetProgress(int value, int maximum) = 0;
    virtual void Unload() = 0;
};

// A splash window that shows nothing.
class NullSplashView : public SplashView {
public:
    void Show(const std::string&, const std::string&, int) override {}
    void SetStatus(const std::string&) override {}
    void SetProgress(int, int) override {}
    void Unload() override {}
};

// The splash window's state as start-up and the condition download drive it.
class Splash {
public:
    explicit Splash(SplashView& view) : view_(view) {}
    void Show(const std::string& title, const std::string& status, int maximum);
    void SetStatus(const std::string& status);
    void SetMaximum(int maximum);
    // Raises the progress bar by one while the window is loaded; does nothing otherwise.
    void Advance();
    // Progress value := maximum.
    void Complete();
    void Unload();
    bool IsLoaded() const { return loaded_; }
    int Value() const { return value_; }
    int Maximum() const { return maximum_; }

private:
    SplashView& view_;
    bool loaded_ = false;
    int value_ = 0;
    int maximum_ = 0;
};

enum class MainButton { Balance, Monitor, StartStop };

// Caption colours of the remaining-time panel.
enum class RestTimeColour { WindowText, Yellow };

// The main window as the run controller, the transfer and the monitor drive it.
class MainView {
public:
    virtual ~MainView() = default;
    // The whole window takes input or not (disabled while an operation works).
    virtual void SetWindowEnabled(bool enabled) = 0;
    virtual void SetButtonEnabled(MainButton button, bool enabled) = 0;
    virtual void SetStartStopCaption(const std::string& caption) = 0;
    virtual void SetMonitorCaption(const std::string& caption) = 0;
    virtual void SetMonitorChecked(bool checked) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // The remaining-time panel: flood percentage 0..100, caption text and caption colour.
    virtual void SetRestTimePercent(float percent) = 0;
    virtual void SetRestTimeCaption(const std::string& caption) = 0;
    virtual void SetRestTimeColour(RestTimeColour colour) = 0;
    // The two 50 ms timers of the window.
    virtual void SetEocTimer(bool enabled) = 0;
    virtual void SetMoniTimer(bool enabled) = 0;
    // Brings the window to the front.
    virtual void Activate() {}
    // The status strip's text: what the run is doing, where its file went ("" for nothing).
    virtual void SetStatusText(const std::string& text) { (void)text; }
};

// A main window that shows nothing (the command-line tool); override what is wanted.
class NullMainView : public MainView {
public:
    void SetWindowEnabled(bool) override {}
    void SetButtonEnabled(MainButton, bool) override {}
    void SetStartStopCaption(const std::string&) override {}
    void SetMonitorCaption(const std::string&) override {}
    void SetMonitorChecked(bool) override {}
    void SetCaption(const std::string&) override {}
    void SetRestTimePercent(float) override {}
    void SetRestTimeCaption(const std::string&) override {}
    void SetRestTimeColour(RestTimeColour) override {}
    void SetEocTimer(bool) override {}
    void SetMoniTimer(bool) override {}
};

}  // namespace kmr
