#pragma once

#include <QWidget>

namespace quorvin {

// The application icon in a rounded square of `size` with corners of `cornerRadius`: the bundled
// picture, slightly enlarged to fill, or without one a drawn badge at 52 % of the size in the
// accent blue on soft blue.
class QuorvinAppIconView : public QWidget {
    Q_OBJECT
public:
    QuorvinAppIconView(int size, qreal cornerRadius, QWidget *parent = nullptr);

    // The bundled picture, looked up once per process; null when there is none.
    static const QPixmap &appIcon();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_size;
    qreal m_cornerRadius;
};

} // namespace quorvin
