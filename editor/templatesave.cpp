#include "editor/templatesave.h"
#include "ui_templatesave.h"

#include "util/jsonutil.h"
#include "util/templatejson.h"
#include "util/textutil.h"
#include "util/translucentwindow.h"

#include <QFile>
#include <QGraphicsDropShadowEffect>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

const char *const STYLE_SHEET = ":/resources/qss/templatesave.css";
constexpr int ENTRY_MIN_WIDTH = 150;

} // namespace

TemplateSave::TemplateSave(TemplateModel *model, QWidget *parent)
    : PlacedDialog(parent)
    , model(model)
    , ui(new Ui::TemplateSave)
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    QFile style{QLatin1String(STYLE_SHEET)};
    if (style.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(style.readAll()));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    TranslucentWindow::apply(this, Qt::white);
    ui->templateTypeBox->setItemDelegate(new QStyledItemDelegate(ui->templateTypeBox));

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(150, 150, 150, 255));
    shadow->setBlurRadius(4);
    ui->frame->setGraphicsEffect(shadow);

    ui->templateTypeBox->addItems(typeChoices());
    const int current = ui->templateTypeBox->findText(model->type);
    ui->templateTypeBox->setCurrentIndex(qMax(current, 0));
    ui->templateTypeBox->setMinimumWidth(ENTRY_MIN_WIDTH);
    ui->templateNameEdit->setMinimumWidth(ENTRY_MIN_WIDTH);
    ui->templateTipLabel->clear();
}

TemplateSave::~TemplateSave()
{
    delete ui;
}

void TemplateSave::setWindowTitleMsg(const QString &msg)
{
    ui->lab_title->setText(msg);
    setWindowTitle(msg);
}

QStringList TemplateSave::typeChoices()
{
    return {QStringLiteral("请选择"), QStringLiteral("城建档案"), QStringLiteral("科技档案"), QStringLiteral("文书档案"),
            QStringLiteral("业务档案"), QStringLiteral("会计档案"), QStringLiteral("其他")};
}

QString TemplateSave::checkEntries(const QString &type, const QString &name, const QStringList &takenNames)
{
    if (type == typeChoices().constFirst())
        return QStringLiteral("请选择模板类型");
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("模板名称不能为空");
    if (takenNames.contains(trimmed))
        return QStringLiteral("模板名称不允许重复");
    return QString();
}

void TemplateSave::on_btn_yes_clicked()
{
    const QString type = ui->templateTypeBox->currentText();
    const QString name = ui->templateNameEdit->text();
    const QString failed = checkEntries(type, name, JsonUtil::getAllTemplateNames());
    if (!failed.isEmpty()) {
        ui->templateTipLabel->setText(failed);
        return;
    }
    TemplateModel named = *model;
    named.name = name.trimmed();
    named.type = type;
    TemplateJson::stampCreation(named);
    // The caller's template keeps its old name until the store has the new one.
    if (!JsonUtil::saveTemplate(named, false)) {
        TextUtil::showError(QStringLiteral("保存失败"));
        return;
    }
    model->name = named.name;
    model->type = named.type;
    model->createTime = named.createTime;
    hide();
    emit refreshTemplateView();
}

void TemplateSave::on_btn_cancel_clicked()
{
    close();
    deleteLater();
}

void TemplateSave::on_btn_close_clicked()
{
    close();
    deleteLater();
}

void TemplateSave::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, QRect(QPoint(0, 0), ui->frame_title->size()).contains(event->localPos().toPoint()));
    event->ignore();
}

void TemplateSave::mouseMoveEvent(QMouseEvent *event)
{
    titleDrag.follow(this, event);
    event->ignore();
}

void TemplateSave::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
    event->ignore();
}
