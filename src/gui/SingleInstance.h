#pragma once
// One running program per user: a lock file decides who is first; the first listens on a local
// socket, and a later start asks it through the socket to bring its window to the front.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <functional>
#include <memory>

namespace kmr::gui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the lock and the socket; the program uses DefaultKey().
    explicit SingleInstance(const QString& key);
    ~SingleInstance() override;
    static QString DefaultKey();

    // True when no other instance runs; this one then listens for later starts.
    bool Claim();
    // Asks the running instance to bring its window to the front; true when it answered.
    bool ActivateRunning();
    // Called in the first instance when a later start asks for the window.
    std::function<void()> onActivate;

private:
    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

}  // namespace kmr::gui
