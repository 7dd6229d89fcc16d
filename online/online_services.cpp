#include "online/online_services.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QUrl>

#include "online/online_texts.h"
#include "online/update_check.h"
#include "window/desktop.h"
#include "window/product_info.h"

namespace frambit {
namespace {

QUrl Address(const char* utf8) { return QUrl(QString::fromUtf8(utf8)); }

}  // namespace

QString HelpPagePath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html"); }

OnlineServices::OnlineServices(Desktop& desktop, OnlineEndpoints endpoints)
    : desktop_(desktop), endpoints_(std::move(endpoints)), form3_(desktop, endpoints_) {}

void OnlineServices::CheckForUpdate(QWidget* owner) { frambit::CheckForUpdate(owner, desktop_, endpoints_); }

void OnlineServices::RequestSupport(QWidget* owner) {
  desktop_.ShowInformation(owner, QGuiApplication::applicationDisplayName(),
                           QString::fromUtf8(texts::kSupportAnnouncement));
  form3_.exec();
}

// The page is a local file; its address is a file URL, blanks and all, so
// no quoting is needed for a folder whose path has them.
void OnlineServices::OpenHelp(QWidget*) { desktop_.OpenInBrowser(QUrl::fromLocalFile(HelpPagePath())); }

void OnlineServices::OpenProductSite(QWidget*) { desktop_.OpenInBrowser(Address(product::kProductSiteUrl)); }

void OnlineServices::OpenServiceChat(QWidget*) { desktop_.OpenInBrowser(Address(product::kServiceChatUrl)); }

void OnlineServices::OpenCompanySite(QWidget*) { desktop_.OpenInBrowser(Address(product::kCompanySiteUrl)); }

}  // namespace frambit
