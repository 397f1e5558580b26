#include "mainwnd/QtMessageTarget.h"

LRESULT CQtMessageTarget::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_handler ? m_handler(message, wParam, lParam) : 0;
}

BOOL CQtMessageTarget::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_invoker.Post([this, message, wParam, lParam] { Dispatch(message, wParam, lParam); })
             ? TRUE
             : FALSE;
}

LRESULT CQtMessageTarget::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  m_invoker.Call([&] { result = Dispatch(message, wParam, lParam); });
  return result;
}
