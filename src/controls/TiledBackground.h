#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

// Paints a picture in tiles behind everything on a form, from the form's
// top-left corner. It hooks into the form's painting without replacing it:
// the tiles go down first, then the form paints as it always did. The side
// windows copy the player window's picture into their own.
class TTiledBackground : public QObject {
    Q_OBJECT
public:
    // Placed on `form`, whose painting it joins.
    explicit TTiledBackground(QWidget* form);

    QPixmap Image() const { return m_image; }
    void setImage(const QPixmap& image);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintTiles();

    QPointer<QWidget> m_form;
    QPixmap m_image;
    bool m_enabled = true;
};
