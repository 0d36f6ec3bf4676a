#pragma once
// An HTTP server on loopback that stands for a sender's tracker: it logs the path of every
// request that reaches it and answers each with a small picture or page, which asks to be
// loaded again a second later ("Refresh: 1"), as a tracker that wants to know how long a
// message stays open would.

#include <QHash>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

namespace kivo::ui::uitest {

class LoggingServer {
  public:
    LoggingServer() {
        server_ = std::make_unique<QTcpServer>();
        if (!server_->listen(QHostAddress::LocalHost)) return;
        QObject::connect(server_.get(), &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection()) {
                ++connections_;
                QObject::connect(socket, &QTcpSocket::readyRead,
                                 [this, socket] { Answer(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] {
                    buffers_.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }
    bool Listening() const { return server_->isListening(); }
    // "http://127.0.0.1:PORT", without a closing slash.
    QString Url() const { return QString("http://127.0.0.1:%1").arg(server_->serverPort()); }
    // The paths requested, in order; connections count those that sent nothing too.
    const QStringList& Requests() const { return requests_; }
    int Connections() const { return connections_; }
    int CountOf(const QString& path) const { return static_cast<int>(requests_.count(path)); }

  private:
    void Answer(QTcpSocket* socket) {
        QByteArray& pending = buffers_[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QList<QByteArray> words = pending.left(pending.indexOf("\r\n")).split(' ');
        const QString path = words.size() > 1 ? QString::fromLatin1(words[1]) : QString();
        buffers_.remove(socket);
        requests_ << path;
        // A 1x1 GIF, or a page with a picture of its own.
        static const QByteArray gif =
            QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");
        const bool page = path.endsWith(".html");
        const QByteArray body =
            page ? QByteArray("<html><body><img src=\"/inner.gif\"></body></html>") : gif;
        socket->write(
            "HTTP/1.1 200 OK\r\nContent-Type: " + QByteArray(page ? "text/html" : "image/gif") +
            "\r\nRefresh: 1\r\nCache-Control: no-store\r\nContent-Length: " +
            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    std::unique_ptr<QTcpServer> server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QStringList requests_;
    int connections_ = 0;
};

}  // namespace kivo::ui::uitest
