#include "support/replyfixtures.h"

namespace TestSupport {

HandshakeReceiveModel handshakeReply(const QString &sn, const QString &version)
{
    HandshakeReceiveModel m;
    m.sn = sn;
    m.version = version;
    return m;
}

HandshakeReceiveModel typeTwoHandshake()
{
    return handshakeReply(QStringLiteral("KELO2020260001"));
}

PrintReceiveModel printReply(int status)
{
    PrintReceiveModel m;
    m.status = quint8(status);
    return m;
}

} // namespace TestSupport
