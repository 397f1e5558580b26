#include "platform/InvokerTarget.h"

LRESULT CInvokerTarget::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_handler ? m_handler(message, wParam, lParam) : 0;
}

BOOL CInvokerTarget::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_invoker.Post([this, message, wParam, lParam] { Dispatch(message, wParam, lParam); })
             ? TRUE
             : FALSE;
}

LRESULT CInvokerTarget::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  m_invoker.Call([&] { result = Dispatch(message, wParam, lParam); });
  return result;
}
