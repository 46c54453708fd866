#pragma once

#include <QtGlobal>
#include <chrono>

// How long a request to the service may take and how much it may bring back. The defaults are the
// production limits; a test hands the transport small ones instead of waiting minutes or sending
// megabytes.
struct TransportLimits {
    // Without a byte arriving or leaving this long, the request has stalled.
    std::chrono::milliseconds stallTimeout = std::chrono::seconds(120);
    // However it trickles, no request runs longer than this: a server sending a byte a minute would
    // otherwise hold the update for ever.
    std::chrono::milliseconds totalTimeout = std::chrono::minutes(10);
    // Far beyond any real answer, and small enough that a broken or hostile server cannot exhaust memory.
    qint64 maximumAnswerSize = qint64(64) * 1024 * 1024;
};
