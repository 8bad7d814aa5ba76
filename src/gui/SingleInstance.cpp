#include "gui/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace kmr::gui {

namespace {
constexpr const char* kActivate = "activate\n";
constexpr const char* kOpen = "open ";  // followed by the path in UTF-8 and a line end
constexpr int kAnswerMs = 3000;
}

SingleInstance::SingleInstance(const QString& key) : key_(key) {}

SingleInstance::~SingleInstance() {
    server_.close();
    if (lock_) lock_->unlock();
}

QString SingleInstance::DefaultKey() {
    // One per user and per settings folder (tests run with their own HOME).
    const QString where = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QByteArray hash = QCryptographicHash::hash(where.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QString("kmr-5300-%1-%2").arg(qEnvironmentVariable("USER", "user"), QString::fromLatin1(hash));
}

bool SingleInstance::Claim() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    lock_ = std::make_unique<QLockFile>(dir + "/" + key_ + ".lock");
    lock_->setStaleLockTime(0);  // a lock of a process that is gone is stale at once
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    // First: a socket left by a program that crashed is removed before listening.
    QLocalServer::removeServer(key_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(key_);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                const QByteArray message = s->readAll();
                if (message.startsWith("activate") && onActivate) onActivate();
                if (message.startsWith(kOpen) && onOpen) {
                    const QString path = QString::fromUtf8(message.mid(static_cast<int>(qstrlen(kOpen))).trimmed());
                    if (onActivate) onActivate();
                    if (!path.isEmpty()) onOpen(path);
                }
                s->write("ok\n");
                s->flush();
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

bool SingleInstance::ActivateRunning(const std::string& dataFile) {
    QLocalSocket s;
    s.connectToServer(key_);
    if (!s.waitForConnected(kAnswerMs)) return false;
    if (dataFile.empty())
        s.write(kActivate);
    else
        s.write(QByteArray(kOpen) + QByteArray::fromStdString(dataFile) + "\n");
    if (s.bytesToWrite() > 0) s.waitForBytesWritten(kAnswerMs);
    const bool answered = s.bytesAvailable() > 0 || s.waitForReadyRead(kAnswerMs);
    s.disconnectFromServer();
    return answered;
}

}  // namespace kmr::gui
