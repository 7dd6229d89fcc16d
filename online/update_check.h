#pragma once

#include <QString>

class QWidget;

namespace frambit {

class Desktop;
struct OnlineEndpoints;

// One exchange with the update server: a GET of /getinfo.asp, then a POST
// of /getinfo.asp?name=frambit whose reply is read as GBK. Returns that
// reply with "|" turned into line breaks when its first line names a newer
// version than this program's, and the empty text in every other case: no
// connection, a failed status, the time-out, an empty reply, a version that
// does not convert.
QString QueryUpdateInfo(const OnlineEndpoints& endpoints);

// "在线升级": asks the update server and shows the new version with its
// features, opening its download page on OK, or the no-new-version box,
// which offers the product site.
void CheckForUpdate(QWidget* owner, Desktop& desktop, const OnlineEndpoints& endpoints);

}  // namespace frambit
