#include "model/replymodels.h"

void registerReplyMetaTypes()
{
    qRegisterMetaType<HandshakeReceiveModel>("HandshakeReceiveModel");
    qRegisterMetaType<PrintReceiveModel>("PrintReceiveModel");
    qRegisterMetaType<WriteIPReceiveModel>("WriteIPReceiveModel");
    qRegisterMetaType<UpdateStatusModel>("UpdateStatusModel");
    qRegisterMetaType<ReadIPReceiveModel>("ReadIPReceiveModel");
    qRegisterMetaType<PrintHardWareVersion>("PrintHardWareVersion");
    qRegisterMetaType<stInkbox>("stInkbox");
    qRegisterMetaType<PrintParameterSettings>("PrintParameterSettings");
}
