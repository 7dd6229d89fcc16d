#include "online/update_check.h"

#include <stdexcept>

#include "online/gbk.h"
#include "online/http_exchange.h"
#include "online/online_endpoints.h"
#include "online/online_texts.h"
#include "online/version_text.h"
#include "window/desktop.h"
#include "window/product_info.h"

namespace frambit {
namespace {

constexpr char kUpdatePath[] = "/getinfo.asp";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// The boxes show "\r" as a line break, as the window's plain messages do.
QString Shown(QString text) { return text.replace(QLatin1Char('\r'), QLatin1Char('\n')); }

QNetworkRequest UpdateRequest(const OnlineEndpoints& endpoints, const QString& query) {
  QUrl address = endpoints.updateServer.resolved(QUrl(QString::fromLatin1(kUpdatePath)));
  address.setQuery(query);
  QNetworkRequest request(address);
  request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(texts::kUpdateUserAgent));
  request.setRawHeader("Accept", texts::kUpdateAccept);
  return request;
}

// The server's download page, but only as a web address: the reply comes
// from the network, and any other kind of address would hand a file or a
// program of the server's choosing to the desktop.
bool IsWebAddress(const QUrl& address) {
  return address.isValid() && (address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https"));
}

void OfferProductSite(QWidget* owner, Desktop& desktop) {
  if (desktop.AskOkCancel(owner, Q(texts::kNoUpdateCaption), Shown(Q(texts::kNoUpdateQuestion))))
    desktop.OpenInBrowser(QUrl(Q(product::kProductSiteUrl)));
}

}  // namespace

QString QueryUpdateInfo(const OnlineEndpoints& endpoints) {
  const QString name = AsciiLower(Q(texts::kProductTitle));
  const QString local = RemoveSpaces(AsciiLower(Q(product::kLocalVersionTag)));

  QNetworkRequest greeting = UpdateRequest(endpoints, QString());
  greeting.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/html"));
  if (!Exchange(greeting, HttpMethod::Get, endpoints.timeout)) return {};

  QNetworkRequest ask = UpdateRequest(endpoints, QString::fromLatin1("name=" + QUrl::toPercentEncoding(name)));
  ask.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
  const std::optional<QByteArray> reply = Exchange(ask, HttpMethod::Post, endpoints.timeout);
  if (!reply) return {};

  const QString info = BarsToLineBreaks(DecodeGbk(*reply));
  const QStringList lines = SplitLines(info);
  if (lines.isEmpty()) return {};
  try {
    if (IsNewerVersion(local, lines.first())) return info;
  } catch (const std::invalid_argument&) {
    // A version that does not convert announces nothing.
  }
  return {};
}

void CheckForUpdate(QWidget* owner, Desktop& desktop, const OnlineEndpoints& endpoints) {
  if (QueryUpdateInfo(endpoints).isEmpty()) {
    OfferProductSite(owner, desktop);
    return;
  }
  // The announcement is fetched once more for the box. Should the server
  // have nothing to say this time, there is no version to show.
  const QStringList lines = SplitLines(QueryUpdateInfo(endpoints));
  if (lines.isEmpty()) {
    OfferProductSite(owner, desktop);
    return;
  }
  QString features;
  for (qsizetype i = 1; i + 1 < lines.size(); ++i) features += QLatin1Char('\r') + lines[i];
  const QString caption = Q(texts::kUpdateCaptionPrefix) + AsciiUpper(lines.first()) + Q(texts::kUpdateCaptionSuffix);
  const QString text = Q(texts::kUpdateIntro) + features + Q(texts::kUpdateSiteGap) + Q(texts::kUpdateSitePrefix) +
                       Q(product::kCompanySiteName);
  if (!desktop.AskOkCancel(owner, caption, Shown(text))) return;
  const QUrl downloadPage(lines.last().trimmed());
  if (IsWebAddress(downloadPage)) desktop.OpenInBrowser(downloadPage);
}

}  // namespace frambit
