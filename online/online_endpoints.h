#pragma once

#include <QUrl>

#include <chrono>

namespace frambit {

// Where the update check and the support request go, and how long one
// exchange may take before it counts as failed. Users always get
// Default(); tests point both at a server of their own on the loopback.
struct OnlineEndpoints {
  // The update server; it answers on /getinfo.asp.
  QUrl updateServer;
  // The support-request server; it takes requests on /index.php.
  QUrl supportServer;
  // For the whole of one request and its reply, connecting included.
  std::chrono::milliseconds timeout;

  static OnlineEndpoints Default();
};

}  // namespace frambit
