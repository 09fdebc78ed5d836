#pragma once
// A panel that carries a caption, drawn by itself inside its frame; it may hold other
// controls as well. The device pages show their live values in such panels. Assistive
// technology reads the caption as the panel's name and is told of every change.
#include <QFrame>
#include <QString>

class tCaptionPanel : public QFrame {
  Q_OBJECT
public:
  explicit tCaptionPanel(QWidget* pParent = nullptr);
  explicit tCaptionPanel(const QString& pCaption, QWidget* pParent = nullptr);

  const QString& Caption() const { return FCaption; }
  void SetCaption(const QString& pCaption);
  Qt::Alignment Alignment() const { return FAlignment; }
  void SetAlignment(Qt::Alignment pAlignment);
  // Background and caption colour; an invalid colour leaves the palette's own.
  QColor Color() const { return FColor; }
  void SetColor(const QColor& pColor);
  QColor FontColor() const { return FFontColor; }
  void SetFontColor(const QColor& pColor);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* pEvent) override;

private:
  QString FCaption;
  Qt::Alignment FAlignment = Qt::AlignCenter;
  QColor FColor;
  QColor FFontColor;
};
