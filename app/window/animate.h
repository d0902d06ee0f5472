#pragma once

#include <QTimer>
#include <QWidget>

namespace app {

// The shell's standard animation clips, in their customary order.
enum TCommonAVI {
  aviNone,
  aviFindFolder,
  aviFindFile,
  aviFindComputer,
  aviCopyFiles,
  aviCopyFile,
  aviRecycleFile,
  aviEmptyRecycle,
  aviDeleteFile,
};

// An animation control that plays the standard clips with frames it draws
// itself: a sheet flying between folders for the copy clips, a magnifier over
// a sheet, folder or computer for the find clips, a bin for the others.
class TAnimate : public QWidget {
 public:
  static constexpr int kFrames = 24;

  explicit TAnimate(QWidget* parent = nullptr);

  TCommonAVI CommonAVI() const { return clip_; }
  void SetCommonAVI(TCommonAVI clip);
  bool Active() const { return timer_.isActive(); }
  void SetActive(bool active);
  int StopFrame() const { return stopFrame_; }
  void SetStopFrame(int frame) { stopFrame_ = frame; }
  int Frame() const { return frame_; }

  QSize sizeHint() const override { return {272, 60}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Advance();

  QTimer timer_;
  TCommonAVI clip_ = aviNone;
  int stopFrame_ = kFrames - 1;
  int frame_ = 0;
};

}  // namespace app
