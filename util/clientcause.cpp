#include "util/clientcause.h"

namespace {

thread_local int openCauses = 0;

} // namespace

ClientCause::ClientCause(bool open)
    : m_open(open)
{
    if (m_open)
        ++openCauses;
}

ClientCause::~ClientCause()
{
    if (m_open)
        --openCauses;
}

bool ClientCause::isOpen()
{
    return openCauses > 0;
}
