#include "online/http_exchange.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <memory>

namespace frambit {

std::optional<QByteArray> Exchange(QNetworkRequest request, HttpMethod method, std::chrono::milliseconds timeout) {
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  // A client of its own for each exchange: nothing (connections, cookies)
  // carries over from one to the next.
  QNetworkAccessManager manager;
  const std::unique_ptr<QNetworkReply> reply(method == HttpMethod::Get ? manager.get(request)
                                                                       : manager.post(request, QByteArray()));
  QEventLoop wait;
  QObject::connect(reply.get(), &QNetworkReply::finished, &wait, &QEventLoop::quit);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
  deadline.start(timeout);
  if (!reply->isFinished()) wait.exec(QEventLoop::ExcludeUserInputEvents);

  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) return std::nullopt;
  return reply->readAll();
}

}  // namespace frambit
