#pragma once

// The product's own names and addresses: the caption, the contact panel,
// the update check, the support request and the web links all take them
// from here. Every host lies under the reserved .example domain until the
// product has real servers.

namespace frambit::product {

inline constexpr char kProductSiteName[] = "frambit.example";
// The product site; its host also answers the update check on /getinfo.asp.
inline constexpr char kProductSiteUrl[] = "https://www.frambit.example/";
inline constexpr char kCompanySiteName[] = "www.frambit-labs.example";
inline constexpr char kCompanySiteUrl[] = "https://www.frambit-labs.example/";
// Takes the support requests on /index.php.
inline constexpr char kSupportServerUrl[] = "http://support.frambit.example:8080";
inline constexpr char kServiceChatAccount[] = "800012345";
inline constexpr char kServiceChatUrl[] = "https://chat.frambit.example/msgrd?v=3&uin=800012345&site=qq&menu=yes";
inline constexpr char kServicePhone[] = "400-800-1234";
// The version the update server's first reply line is compared with:
// number, "s", "-", build.
inline constexpr char kLocalVersionTag[] = "1.0s-10";

}  // namespace frambit::product
