// The error object of the link libraries: raised inside a library while it starts, caught only by
// Init, which traces it and returns its code.
#pragma once

#include <string>

class CErrorException {
 public:
  CErrorException(int code, std::string text, std::string expression, std::string sourceFile, int line)
      : m_nCode(code),
        m_strText(std::move(text)),
        m_strExpression(std::move(expression)),
        m_strSourceFile(std::move(sourceFile)),
        m_nLine(line) {}
  CErrorException(const CErrorException&) = default;
  CErrorException& operator=(const CErrorException&) = default;
  virtual ~CErrorException() = default;

  int Code() const { return m_nCode; }
  const std::string& Text() const { return m_strText; }
  const std::string& Expression() const { return m_strExpression; }
  const std::string& SourceFile() const { return m_strSourceFile; }
  int Line() const { return m_nLine; }

 private:
  int m_nCode;                  // negative: the Init result
  std::string m_strText;        // what failed (may be empty)
  std::string m_strExpression;  // the call or value concerned
  std::string m_strSourceFile;  // ".\Comm" or ".\ZLINKUSBAPI"
  int m_nLine;
};

// Source names the libraries report their failures under.
inline constexpr const char* kCommSource = ".\\Comm";
inline constexpr const char* kUsbApiSource = ".\\ZLINKUSBAPI";
