#pragma once
// SIGTERM (logout, a service manager, `kill`), SIGHUP (a closed terminal) and SIGINT (Ctrl+C in
// the terminal the program was started from) end the program the orderly way instead of killing
// it: each is turned into a call of `onEnd` on the window thread, where the program ends as its
// own close does, without a question. Elsewhere than on Unix nothing is caught.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace kmr::gui {

class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;
    std::function<void()> onEnd;

private:
    void Arrived();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kmr::gui
