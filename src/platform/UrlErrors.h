#pragma once

#include <QString>
#include <QtGlobal>

// Failures of the connection itself, as opposed to answers the service gave. The codes follow the
// platform's URL-loading codes, so a caller on either platform can test for the same numbers.
namespace UrlErrors {
inline const QString kDomain = QStringLiteral("com.halvex.Orlin.URLErrorDomain");

inline constexpr qint64 kUnknown = -1;
inline constexpr qint64 kCancelled = -999;
inline constexpr qint64 kBadUrl = -1000;
inline constexpr qint64 kTimedOut = -1001;
inline constexpr qint64 kUnsupportedUrl = -1002;
inline constexpr qint64 kCannotFindHost = -1003;
inline constexpr qint64 kCannotConnectToHost = -1004;
inline constexpr qint64 kNetworkConnectionLost = -1005;
inline constexpr qint64 kTooManyRedirects = -1007;
inline constexpr qint64 kNotConnectedToInternet = -1009;
inline constexpr qint64 kBadServerResponse = -1011;
inline constexpr qint64 kUserCancelledAuthentication = -1012;
inline constexpr qint64 kCannotDecodeContentData = -1016;
inline constexpr qint64 kSecureConnectionFailed = -1200;
}  // namespace UrlErrors
