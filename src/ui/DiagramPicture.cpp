#include "DiagramPicture.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QString>

namespace tafelix {

QImage paintStatisticsDiagram(const StatisticsDiagram& diagram, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(8);
    p.setFont(font);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    for (const DiagramOp& op : diagram.ops) {
        const QColor color = op.color == DiagramColor::Blue        ? QColor(0, 0, 255)
                             : op.color == DiagramColor::DarkGreen ? QColor(0, 128, 0)
                                                                   : QColor(Qt::black);
        p.setPen(QPen(color, 0));
        if (op.kind == DiagramOp::Line)
            p.drawLine(op.x1, op.y1, op.x2, op.y2);
        else
            p.drawText(QRect(op.x1, op.y1, size.width(), size.height()),
                       Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(op.text.c_str()));
    }
    p.end();
    return image;
}

} // namespace tafelix
