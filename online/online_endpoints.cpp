#include "online/online_endpoints.h"

#include "window/product_info.h"

namespace frambit {

OnlineEndpoints OnlineEndpoints::Default() {
  // Long enough for a slow line, short enough that a dead server costs the
  // user only a moment of a frozen window.
  constexpr std::chrono::seconds kTimeout{15};
  return {QUrl(QString::fromUtf8(product::kProductSiteUrl)), QUrl(QString::fromUtf8(product::kSupportServerUrl)),
          kTimeout};
}

}  // namespace frambit
