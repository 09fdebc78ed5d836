#pragma once
// An instrument model, written from the instrument's side of the protocol. It sees the bytes
// the program sends and answers through Transmit; the attachment (an in-process simulated
// port or the corvane-sim pseudo-terminal) carries the bytes, paces them at the line rate
// and applies the line faults.
#include <QByteArray>
#include <QObject>
#include <functional>

// Line faults applied by the attachment to every frame an instrument transmits.
struct tSimFaults {
  bool Silent = false;            // answer nothing
  int ReplyDelayMs = 0;           // wait before the first byte of each reply
  bool StrayLeadingByte = false;  // one 0x00 before each reply
  bool ExtraTrailingByte = false; // one 0x00 after each reply
  bool CorruptChecksum = false;   // flip the checksum byte (the byte before the trailing 0x0D)
  bool PaceAtBaud = true;         // 10 bit times per byte at the rate the program set
  int CorruptEvery = 0;           // flip the checksum of every Nth reply only (a noisy line)
  int TruncateEvery = 0;          // lose the last byte of every Nth reply
};

// A reply as the faults put it on the line. pReplies counts the replies sent so far.
inline QByteArray FaultyReply(const tSimFaults& pFaults, const QByteArray& pFrame,
                              qint64& pReplies) {
  QByteArray lFrame = pFrame;
  ++pReplies;
  const bool lCorrupt =
      pFaults.CorruptChecksum || (pFaults.CorruptEvery > 0 && pReplies % pFaults.CorruptEvery == 0);
  if (lCorrupt && !lFrame.isEmpty()) {
    const qsizetype lAt =
        lFrame.size() >= 2 && lFrame.endsWith('\r') ? lFrame.size() - 2 : lFrame.size() - 1;
    lFrame[lAt] = char(~quint8(lFrame.at(lAt)));
  }
  if (pFaults.TruncateEvery > 0 && pReplies % pFaults.TruncateEvery == 0) lFrame.chop(1);
  if (pFaults.StrayLeadingByte) lFrame.prepend('\0');
  if (pFaults.ExtraTrailingByte) lFrame.append('\0');
  return lFrame;
}

class tSimInstrument : public QObject {
  Q_OBJECT
public:
  explicit tSimInstrument(QObject* pParent = nullptr) : QObject(pParent) {}
  ~tSimInstrument() override = default;

  // Bytes as they arrive from the program, in any chunking.
  virtual void Receive(const QByteArray& pBytes) = 0;
  // The rate the program set on the port; a model that serves only its own rate ignores
  // bytes sent at another one.
  virtual void SetLineBaud(int pBaud) { mLineBaud = pBaud; }
  int LineBaud() const { return mLineBaud; }
  // The configuration memory as the instrument holds it now, for tools that show what a
  // program wrote; empty for a model without one.
  virtual QByteArray EepromImage() const { return {}; }

  // Set by the attachment: carries one whole frame (or a burst of cyclic output) to the line.
  std::function<void(const QByteArray&)> OnTransmit;

protected:
  void Transmit(const QByteArray& pFrame) {
    if (OnTransmit) OnTransmit(pFrame);
  }

private:
  int mLineBaud = 9600;
};
