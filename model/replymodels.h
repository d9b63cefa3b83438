#pragma once

// The printer's replies as the link hands them on: small copyable values,
// each a status byte (0 = success, anything else is the printer's own code,
// passed on unchanged) plus the fields of its reply.

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// The number of one 16-byte data block of the ink box, sent as one byte.
using DataBlock = quint8;

// Block 5 holds the ink box's serial (16 ASCII characters), block 6 the ink
// quantity; the shell composes and checks their contents.
constexpr DataBlock DATA_BLOCK_INKBOX_SERIAL = 5;
constexpr DataBlock DATA_BLOCK_INK_AMOUNT = 6;

// Reply to the handshake (command 0x10).
struct HandshakeReceiveModel {
    quint8 status = 0;
    QString version;
    QString sn; // characters 4 and 5 carry the model code
    quint8 model = 0; // low nibble of the model byte; the old layout has none
    QString inkboxSerial;
    qint32 inkAmount = 0; // the old layout has none
};

// Reply to a page (0x11), a test page (0x12) and the page-finished notice (0x20).
struct PrintReceiveModel {
    quint8 status = 0;
};

// Reply to a write of the network settings (0x70).
struct WriteIPReceiveModel {
    quint8 status = 0;
};

// Reply to a firmware image (0x80 main controller, 0x81 motion controller).
struct UpdateStatusModel {
    quint8 status = 0;
};

// Reply to a read of the network settings (0x71); the octets are in dotted
// text order and are filled only when the status is 0.
struct ReadIPReceiveModel {
    quint8 ip[4] = {0, 0, 0, 0};
    quint8 mask[4] = {0, 0, 0, 0};
    quint8 gateway[4] = {0, 0, 0, 0};
    quint16 port = 0;
    quint8 status = 0;
};

// Reply to a read of the hardware versions (0x74).
struct PrintHardWareVersion {
    quint8 status = 0;
    QString masterVersion;
    QString motionVersion;
};

// Reply to a read of an ink-box block (0xA0). A reply of the wrong length
// arrives with status STATUS_BAD_LENGTH and block and data left at 0.
struct stInkbox {
    static constexpr quint8 STATUS_BAD_LENGTH = 0x20;
    quint8 status = 0;
    DataBlock block = 0;
    quint8 data[16] = {};
};

// The print parameters as the printer keeps them. How the settings page
// shows them: speed 1 low/2 medium/3 high; colorDepth 1 light/2 medium/
// 3 deep; voltage and pulseWidth the shown value × 10; printMode 1 single/
// 2 double; paperExit 1 front/2 back; washLevel 1 none/2 low/3 medium/4 high;
// compensations the shown millimetres × 100; powerOnReset 1 reset/2 no reset.
struct PrinterSettingInfo {
    quint8 speed = 0;
    quint8 colorDepth = 0;
    quint8 voltage = 0;
    quint8 pulseWidth = 0;
    quint8 printMode = 0;
    quint8 paperExit = 0;
    quint8 washLevel = 0;
    qint16 compensationX = 0;
    qint16 compensationY = 0;
    quint8 powerOnReset = 0;
};

struct ParameterReplyStatus {
    quint8 status = 0;
};

// The reply to 0x51 (the status, then the parameters, in this order) and the
// argument of the write request 0x50, which does not send the status.
// Assigning it to a PrinterSettingInfo keeps the parameters and drops the
// status.
struct PrintParameterSettings : ParameterReplyStatus, PrinterSettingInfo {
};

Q_DECLARE_METATYPE(HandshakeReceiveModel)
Q_DECLARE_METATYPE(PrintReceiveModel)
Q_DECLARE_METATYPE(WriteIPReceiveModel)
Q_DECLARE_METATYPE(UpdateStatusModel)
Q_DECLARE_METATYPE(ReadIPReceiveModel)
Q_DECLARE_METATYPE(PrintHardWareVersion)
Q_DECLARE_METATYPE(stInkbox)
Q_DECLARE_METATYPE(PrintParameterSettings)

// Registers the reply models with Qt's meta-type system, so they can travel
// through queued connections and be recorded by signal spies. Safe to call
// more than once.
void registerReplyMetaTypes();
