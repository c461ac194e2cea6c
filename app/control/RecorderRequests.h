// RecorderRequests: answers the request lines a later start sends over the
// single-instance channel (RemoteRequest) by asking a RecorderControl; the
// answer is the control's one line ("ok ..." or "error <reason>"). Window's
// thread only.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include "app/recording/RecorderControl.h"

class SecondInputFinder;

class RecorderRequests {
  Q_DECLARE_TR_FUNCTIONS(RecorderRequests)

 public:
  // `line` without its newline; empty for a line that is no request of ours.
  // A start's second input is found by `secondInputs`.
  static QByteArray Answer(RecorderControl& control, const SecondInputFinder& secondInputs, const QByteArray& line);
  // "录音中, 长度 0:05, 文件 /path/录音3.wav, 输入丢失 0, 大小 862 KB, 设备 Mic, 类型 wav, 电平 -12.0 dBFS".
  static QString StatusLine(const RecorderControl::Status& status);
  static QString StateName(RecorderState state);
};
