#pragma once

// The printer's replies as the link hands them to a print job, built by hand.

#include "model/replymodels.h"

#include <QString>

namespace TestSupport {

HandshakeReceiveModel handshakeReply(const QString &sn, const QString &version = QStringLiteral("V2.1.0"));
// A type-2 printer: model code "20" in its serial number, version "V2.1.0".
HandshakeReceiveModel typeTwoHandshake();
// A print, test-page or print-finished reply with the given status (0 = done).
PrintReceiveModel printReply(int status);

} // namespace TestSupport
