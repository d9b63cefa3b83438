#include "app/loading.h"

#include "ui_loading.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

Loading::Loading(QString imagePath, QWidget *parent)
    : PlacedDialog(parent)
    , ui(new Ui::Loading)
    , imagePath(std::move(imagePath))
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
}

Loading::~Loading()
{
    delete ui;
}

void Loading::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPixmap image = QPixmap(imagePath).scaled(width(), height(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!image.isNull())
        painter.drawPixmap(QRect(0, 0, width(), height()), image, image.rect());
}

void Loading::showWelcome(const QString &imagePath)
{
    if (imagePath == QLatin1String("") || !QFile::exists(imagePath))
        return;
    auto *splash = new Loading(imagePath);
    splash->show();
    // Bound to the splash, so a splash already ended by Escape and deleted
    // is never touched by the timer.
    QTimer::singleShot(SHOW_MS, splash, &QDialog::close);
    splash->exec();
    splash->deleteLater();
}
