#include "ui/Glyphs.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace vmx::ui {

namespace {

constexpr int kSize = 24;

QPixmap Blank(int w = kSize, int h = kSize)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void Triangle(QPainter& p, qreal x, qreal y, qreal w, qreal h, bool right)
{
    QPolygonF t;
    if (right)
        t << QPointF(x, y) << QPointF(x + w, y + h / 2) << QPointF(x, y + h);
    else
        t << QPointF(x + w, y) << QPointF(x, y + h / 2) << QPointF(x + w, y + h);
    p.drawPolygon(t);
}

void Arrow(QPainter& p, bool down, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    if (down) {
        p.drawRect(9, 2, 6, 9);
        QPolygonF head;
        head << QPointF(4, 10) << QPointF(20, 10) << QPointF(12, 18);
        p.drawPolygon(head);
    } else {
        p.drawRect(9, 10, 6, 8);
        QPolygonF head;
        head << QPointF(4, 11) << QPointF(20, 11) << QPointF(12, 2);
        p.drawPolygon(head);
    }
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(3, 20, 18, 3);
}

QPixmap Banner(const char* text, const QColor& a, const QColor& b, const QColor& c)
{
    QPixmap pm = Blank(56, 18);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.fillRect(0, 0, 56, 6, a);
    p.fillRect(0, 6, 56, 6, b);
    p.fillRect(0, 12, 56, 6, c);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(1, 1, 56, 18), Qt::AlignCenter, QString::fromLatin1(text));
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 56, 18), Qt::AlignCenter, QString::fromLatin1(text));
    return pm;
}

QPixmap Draw(const QString& name)
{
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (name == QLatin1String("START")) {
        p.setPen(QPen(QColor(0, 100, 0), 1));
        p.setBrush(QColor(0, 170, 0));
        Triangle(p, 5, 3, 15, 18, true);
    } else if (name == QLatin1String("STOP")) {
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(210, 0, 0));
        p.drawRect(5, 5, 14, 14);
    } else if (name == QLatin1String("CLEAR")) {
        p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(6, 6, 18, 18);
        p.drawLine(18, 6, 6, 18);
    } else if (name == QLatin1String("END")) {
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(QColor(150, 110, 60));
        p.drawRect(4, 3, 11, 18);
        p.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(12, 12, 21, 12);
        p.drawLine(21, 12, 17, 8);
        p.drawLine(21, 12, 17, 16);
    } else if (name == QLatin1String("RESTART")) {
        p.setPen(QPen(QColor(0, 80, 180), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 80, 180));
        QPolygonF head;
        head << QPointF(14, 1) << QPointF(20, 6) << QPointF(13, 9);
        p.drawPolygon(head);
    } else if (name == QLatin1String("RECORD_BIG")) {
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(230, 30, 30));
        p.drawEllipse(QRectF(3, 3, 18, 18));
    } else if (name == QLatin1String("MONITOR")) {
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.setBrush(QColor(220, 235, 255));
        p.drawRect(2, 3, 20, 14);
        p.setPen(QPen(QColor(0, 120, 0), 1.5));
        p.drawPolyline(QPolygonF() << QPointF(4, 12) << QPointF(8, 12) << QPointF(10, 6) << QPointF(13, 15)
                                   << QPointF(15, 10) << QPointF(20, 10));
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.drawLine(12, 17, 12, 21);
        p.drawLine(7, 21, 17, 21);
    } else if (name == QLatin1String("HELP")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 90, 200));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        QFont f = p.font();
        f.setPixelSize(16);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QStringLiteral("?"));
    } else if (name == QLatin1String("READPARAMETER")) {
        Arrow(p, true, QColor(0, 130, 0));
    } else if (name == QLatin1String("WRITEPARAMETER")) {
        Arrow(p, false, QColor(200, 90, 0));
    } else if (name == QLatin1String("OPENFILE")) {
        p.setPen(QPen(QColor(140, 100, 0), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(2, 7, 20, 13);
        p.drawRect(2, 4, 8, 3);
    } else if (name == QLatin1String("SAVEFILE")) {
        p.setPen(QPen(QColor(20, 20, 80), 1));
        p.setBrush(QColor(40, 60, 160));
        p.drawRect(3, 3, 18, 18);
        p.setBrush(Qt::white);
        p.drawRect(7, 3, 10, 6);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(6, 13, 12, 8);
    } else if (name == QLatin1String("POWER_ON")) {
        p.setPen(QPen(QColor(0, 140, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(4, 5, 16, 16), 120 * 16, 300 * 16);
        p.drawLine(12, 2, 12, 12);
    } else if (name == QLatin1String("REWIND") || name == QLatin1String("FORWARD")) {
        const bool fwd = name == QLatin1String("FORWARD");
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 90, 200));
        Triangle(p, 2, 5, 10, 14, fwd);
        Triangle(p, 12, 5, 10, 14, fwd);
    } else {
        return {};
    }
    return pm;
}

} // namespace

QPixmap Glyph(const QString& name)
{
    static QHash<QString, QPixmap> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return *it;
    QPixmap pm;
    // The banner shows the language a click switches to.
    if (name == QLatin1String("BANNERD"))
        pm = Banner("Deutsch", Qt::black, QColor(221, 0, 0), QColor(255, 206, 0));
    else if (name == QLatin1String("BANNERE"))
        pm = Banner("English", QColor(1, 33, 105), QColor(200, 16, 46), QColor(1, 33, 105));
    else
        pm = Draw(name);
    cache.insert(name, pm);
    return pm;
}

} // namespace vmx::ui
