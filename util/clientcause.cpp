#include "util/clientcause.h"

namespace {

thread_local bool clientCause = false;

} // namespace

ClientCause::ClientCause(bool open)
    : m_outer(clientCause)
{
    clientCause = open;
}

ClientCause::~ClientCause()
{
    clientCause = m_outer;
}

bool ClientCause::isOpen()
{
    return clientCause;
}
