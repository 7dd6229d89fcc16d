#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <deque>
#include <optional>
#include <vector>

namespace frambit::test {

// A tiny HTTP/1.x server on 127.0.0.1 for the online tests. It runs on the
// test's own thread, so it answers while the code under test waits in its
// event loop. It records every request and answers each with the next
// scripted reply; a request without one is left unanswered, as a dead
// server would.
class LoopbackHttpServer {
 public:
  struct Request {
    QByteArray method;
    QByteArray target;  // path and query, exactly as sent
    QByteArray version;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
  };
  struct Reply {
    int status = 200;
    QByteArray body;
  };

  LoopbackHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
          pending_.remove(socket);
          socket->deleteLater();
        });
      }
    });
  }

  // http://127.0.0.1:PORT/
  QUrl Address() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort())); }

  // An address on 127.0.0.1 where nothing listens: connecting is refused.
  static QUrl RefusingAddress() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port));
  }

  std::deque<Reply> replies;
  std::vector<Request> requests;

 private:
  void Read(QTcpSocket* socket) {
    QByteArray& pending = pending_[socket];
    pending += socket->readAll();
    for (;;) {
      const qsizetype headEnd = pending.indexOf("\r\n\r\n");
      if (headEnd < 0) return;
      const QList<QByteArray> lines = pending.left(headEnd).split('\n');
      Request request;
      const QList<QByteArray> start = lines.first().trimmed().split(' ');
      if (start.size() == 3) {
        request.method = start[0];
        request.target = start[1];
        request.version = start[2];
      }
      for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
      }
      const qsizetype bodyLength = request.headers.value("content-length", "0").toLongLong();
      if (pending.size() - (headEnd + 4) < bodyLength) return;
      request.body = pending.mid(headEnd + 4, bodyLength);
      pending.remove(0, headEnd + 4 + bodyLength);
      requests.push_back(request);
      if (replies.empty()) continue;
      const Reply reply = replies.front();
      replies.pop_front();
      socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\nContent-Type: text/html\r\n" +
                    "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body);
    }
  }

  // Before the server: its sockets close, and may still report, while it
  // is destroyed.
  QMap<QTcpSocket*, QByteArray> pending_;
  QTcpServer server_;
};

}  // namespace frambit::test
