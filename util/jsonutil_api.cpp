// The messages of the local websocket API: the request parser and the three
// reply builders.

#include "util/jsonutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

const QLatin1String KEY_REQUEST_ID("requestId");
// Replies spell it this way; clients match the spelling.
const QLatin1String KEY_REPLY_REQUEST_ID("resquestId");
const QLatin1String KEY_SEQ("seq");
const QLatin1String KEY_CODE("code");
const QLatin1String KEY_DATA("data");
const QLatin1String KEY_TEMPLATE_NAME("templateName");
const QLatin1String KEY_TEMPLATE_TYPE("templateType");

// A JSON number that is a whole number within int; anything else (a
// fraction, a number out of range, another type) is refused.
bool integralInt(const QJsonValue &value, int *out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    // Written so that NaN fails too.
    if (!(number >= double(std::numeric_limits<int>::min()) && number <= double(std::numeric_limits<int>::max())))
        return false;
    if (std::trunc(number) != number)
        return false;
    *out = int(number);
    return true;
}

QJsonObject statusObject(int requestId, quint16 seq, const QString &code)
{
    return QJsonObject{{KEY_CODE, code}, {KEY_REPLY_REQUEST_ID, requestId}, {KEY_SEQ, int(seq)}};
}

QString compact(const QJsonObject &object)
{
    // QJsonObject keeps its keys sorted, so the text lists them in ascending order.
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

APIModel JsonUtil::parseAPIRequest(const QString &text)
{
    APIModel request;
    const QJsonObject object = QJsonDocument::fromJson(text.trimmed().toUtf8()).object();

    int number = 0;
    if (integralInt(object.value(KEY_REQUEST_ID), &number))
        request.requestId = number;
    number = 0;
    if (integralInt(object.value(KEY_SEQ), &number))
        request.seq = quint16(number); // modulo 65536: -1 is 65535

    if (request.requestId != APIModel::REQUEST_TEMPLATE_FIELDS && request.requestId != APIModel::REQUEST_PRINT)
        return request;
    request.templateName = object.value(KEY_TEMPLATE_NAME).toString();
    if (request.requestId != APIModel::REQUEST_PRINT)
        return request;
    const QJsonValue data = object.value(KEY_DATA);
    if (data.isArray()) {
        const QJsonArray rows = data.toArray();
        request.data.reserve(rows.size());
        for (const QJsonValue &row : rows)
            request.data.append(row.toObject().toVariantMap());
    }
    return request;
}

QString JsonUtil::buildJsonstrByTemplateModel(const QList<TemplateModel> &templates, quint16 seq)
{
    return buildTemplateListReply(buildTemplateListData(templates), seq);
}

QString JsonUtil::buildTemplateListData(const QList<TemplateModel> &templates)
{
    QJsonArray list;
    for (const TemplateModel &model : templates)
        list.append(QJsonObject{{KEY_TEMPLATE_NAME, model.name}, {KEY_TEMPLATE_TYPE, model.type}});
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QString JsonUtil::buildTemplateListReply(const QString &data, quint16 seq)
{
    // The status object with "data" spliced in where the JSON writer puts it:
    // its keys are "code", "data", "resquestId", "seq", in that order.
    const QString status = buildJsonstrByStatus(APIModel::REQUEST_TEMPLATE_LIST, seq,
                                                QLatin1String(APIModel::CODE_SUCCESS));
    const int afterCode = status.indexOf(QLatin1Char(','));
    return status.left(afterCode + 1) + QLatin1String("\"") + KEY_DATA + QLatin1String("\":") + data
           + status.mid(afterCode);
}

QString JsonUtil::buildJsonstrByTemplateFailds(const TemplateModel &model, quint16 seq)
{
    // Only text fields are filled by title; QR codes and barcodes are not offered.
    QJsonObject fields;
    for (const TextModel &text : model.textModels)
        fields.insert(text.textTitle, QLatin1String(""));
    QJsonObject reply = statusObject(APIModel::REQUEST_TEMPLATE_FIELDS, seq, QLatin1String(APIModel::CODE_SUCCESS));
    reply.insert(KEY_DATA, fields);
    return compact(reply);
}

QString JsonUtil::buildJsonstrByStatus(int requestId, quint16 seq, const QString &code)
{
    return compact(statusObject(requestId, seq, code));
}
