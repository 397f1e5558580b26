#include "windowlogic/ControlGroups.h"

#include "platform/ControlIds.h"
#include "windowlogic/PanelController.h"
#include "windowlogic/PortOpener.h"

void CControlGroups::EnableFileGroup(int b) {
  for (int id : {kIdcBrowse, kIdcFileName, kIdcSelectFileGroup, kIdcFileList})
    m_pView->EnableDlgItem(id, b);
}

void CControlGroups::EnableRepeatGroup(int b) {
  m_pView->EnableDlgItem(kIdcRepeat, b);
  for (int id : {kIdcRepeatCount, kIdcDelay, kIdcDelayLabel, kIdcTimesLabel, kIdcMsLabel})
    m_pView->EnableDlgItem(id, b && m_fields.main.m_bRepeat);
}

void CControlGroups::FollowRepeatBox() {
  for (int id : {kIdcRepeatCount, kIdcDelay, kIdcDelayLabel, kIdcTimesLabel, kIdcMsLabel})
    m_pView->EnableDlgItem(id, m_fields.main.m_bRepeat == 1);
}

void CControlGroups::EnableStringSendButton(int b) {
  m_pView->EnableDlgItem(kIdcStringStart, b);
}

void CControlGroups::EnableFirmwareGroup(int b) {
  m_firmwareGroup.Apply(*m_pView, b);
}

void CControlGroups::EnableReceiveGroup(int b) {
  for (int id :
       {kIdcReceiveGroup, kIdcRxDataList, kIdcRxUsmList, kIdcShowUsm, kIdcClearBuffer, kIdcSaveAs})
    m_pView->EnableDlgItem(id, b);
}

void CControlGroups::EnableFileStartGroup(int b) {
  for (int id : {kIdcFileStart, kIdcFileName, kIdcTransmitFileGroup, kIdcRate, kIdcRateLabel})
    m_pView->EnableDlgItem(id, b);
  EnableRepeatGroup(b);
}

void CControlGroups::EnableStringGroup(int b) {
  if (!b)
    m_bStringBoxHadFocus = m_pView->GetFocusId() == kIdcDataString;
  for (int id : {kIdcStringGroup, kIdcDataString, kIdcHexRadio, kIdcAsciiRadio})
    m_pView->EnableDlgItem(id, b);
  // The focus goes back only once the box is enabled again: a disabled
  // control takes no focus, and it would stay on the Start button, where
  // the next blank typed sends the string once more.
  if (b && m_bStringBoxHadFocus) {
    m_pView->SetFocusId(kIdcDataString);
    m_bStringBoxHadFocus = 0;
  }
}

void CControlGroups::EnableInterfaceGroup(int b) {
  m_pView->EnableDlgItem(kIdcCommunicationGroup, b);
  ShowInterfacePanel(b ? m_fields.main.m_nInterface : -1);
  for (int id : {kIdcSerialRadio, kIdcUsbRadio, kIdcEthernetRadio, kIdcPacketProtocol})
    m_pView->EnableDlgItem(id, b);
}

void CControlGroups::DisableAllSendControls() {
  EnableFirmwareGroup(0);
  EnableReceiveGroup(0);
  EnableFileStartGroup(0);
  EnableFileGroup(0);
  EnableStringSendButton(0);
  EnableStringGroup(0);
  m_pView->EnableDlgItem(kIdcPacketProtocol, 0);
}

void CControlGroups::EnableSendControls(int available, int firmwareFlag, int receiveFlag) {
  EnableFirmwareGroup(0);
  if (available && firmwareFlag)
    EnableFirmwareGroup(1);
  EnableReceiveGroup(available && receiveFlag);
  EnableFileStartGroup(available);
  EnableFileGroup(available);
  EnableStringSendButton(available);
  EnableStringGroup(available);
  m_pView->EnableDlgItem(kIdcPacketProtocol, available);
}

void CControlGroups::ShowInterfacePanel(int n) {
  const int panel = n >= 0 && n <= 2 ? n : -1;
  m_pView->ShowPanel(panel);
  m_pView->EnablePanels(panel);
  ApplyConnectionOffer(panel);
}

void CControlGroups::ApplyConnectionOffer(int panel) {
  if (!m_pPanels)
    return;
  const CConnectionOffer offer = m_opener.GetOffer();
  m_pPanels->Usb().SetChannels(offer.nUsmChannel, offer.nRealTimeChannel);
  m_pPanels->Usb().ApplyEndpointState(panel == 1, &m_texts);
  m_pPanels->Ethernet().ApplyConnectionState(panel == 2, offer.nCompletion, offer.nRealTimeChannel,
                                             offer.nUsmChannel);
}
