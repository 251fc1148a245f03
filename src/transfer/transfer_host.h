#pragma once
// What picture transfer needs from the chat session and the windows.
#include <QImage>

#include <string>

namespace transfer {

class TransferHost {
 public:
  virtual ~TransferHost() = default;

  virtual std::string UserName() const = 0;
  virtual void SendLine(const std::string& line) = 0;
  // The direct link manager's SendDirect.
  virtual bool SendDirect(const std::string& name, const std::string& payload) = 0;
  virtual void AddPrivLine(const std::string& markup) = 0;
  virtual void Trace(const std::string& text) = 0;
  // The program directory, ending with "/".
  virtual std::string ProgramDir() const = 0;
  // A received picture, decoded: the viewer window shows it.  False when
  // it is not shown (too many pictures open).
  virtual bool ShowPicture(const std::string& sender, const std::string& bytes, const QImage& image) = 0;
  // A modal warning titled "Внимание".
  virtual void Warn(const std::string& text) = 0;
};

}  // namespace transfer
