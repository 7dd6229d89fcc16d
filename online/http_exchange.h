#pragma once

#include <QByteArray>
#include <QNetworkRequest>

#include <chrono>
#include <optional>

namespace frambit {

enum class HttpMethod { Get, Post };

// Sends the request (a POST with an empty body) and waits for the whole
// reply, at most timeout. Meanwhile the windows repaint but take no input,
// so no other command can start inside the wait. Redirects are not
// followed. Returns the reply body when the server answered with a success
// status (2xx); nullopt for no connection, another status or the time-out.
std::optional<QByteArray> Exchange(QNetworkRequest request, HttpMethod method, std::chrono::milliseconds timeout);

}  // namespace frambit
