// CStatusDecoder: what a printer's status bytes say, in words.
//
// Two kinds of message are decoded, with the bit layouts ESC/POS printers
// share (docs/printer-sim.md has the tables and where they come from):
//  - the one-byte reply to a real-time status request DLE EOT n (10 04 n,
//    n = 1..4) on the data channel. Only bytes that answer a request just
//    sent are taken: a sent string that ends in 10 04 n arms the decoder,
//    and the next bytes received within kReplyWindowMs answer its requests
//    in order (one byte each; a string may hold several). Bytes arriving
//    with no request pending are not status and are left alone.
//  - every 4-byte automatic status message on the USM channel. A byte that
//    cannot begin one (bits 0, 1, 7 clear and bit 4 set) is reported alone,
//    so the decoder finds the next message again.
// A byte whose fixed bits are not the layout's, or a two-bit sensor field
// with only one bit set, is an unknown layout: the text gives the raw bits
// and nothing else, since any reading of them would be a guess.
//
// The words say online or offline, the drawer (its connector's pin 3 high
// reads as closed), cover open, paper near end, paper out, the error kinds,
// then "; changed: ..." with the new words of every field that differs
// from the previous message of the same kind (same n, or automatic).
// Decoding only reads the bytes it is given: what is shown or saved is the
// caller's copy, untouched.
//
// A stream of automatic messages (a printer that floods its USM channel)
// costs little per message with the visiting OnUsm: a message and the one it
// is compared with decide its text, so texts already made are kept (a few
// hundred) and reused, and the bit table, which only the message on show
// needs, is left out (LastAutomatic has it).
//
// Thread safety: none; one thread (the display's) uses an object.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct PRINTER_STATUS_TEXT {
  std::string strSource;    // "DLE EOT 4" or "automatic"
  std::string strWords;     // "online, paper near end, drawer closed"
  std::string strBitTable;  // one line per bit, for a tooltip
  bool bChanged = false;    // a decoded field differs from the previous message
  bool bKnown = true;       // false: an unknown layout, raw bits only
  // "status DLE EOT 4: <words>", the line a headless run prints.
  std::string Line() const { return "status " + strSource + ": " + strWords; }
};

class CStatusDecoder {
 public:
  // A real-time status reply comes at once; this allows for a slow serial
  // line and a busy network.
  static constexpr uint64_t kReplyWindowMs = 500;
  static constexpr size_t kAutomaticBytes = 4;

  // Bytes sent on the data channel at `nowMs` (any monotonic clock in ms).
  void OnSent(const uint8_t* data, size_t length, uint64_t nowMs);
  // Bytes received on the data channel at `nowMs`; decoded replies are
  // appended to `out`.
  void OnData(const uint8_t* data, size_t length, uint64_t nowMs,
              std::vector<PRINTER_STATUS_TEXT>& out);
  // Whether a request sent waits for its reply (possibly one whose time is
  // up, which the next OnData drops): OnData needs the bytes received.
  bool AwaitsReply() const { return !m_pending.empty(); }
  // Bytes received on the USM channel; decoded messages are appended.
  void OnUsm(const uint8_t* data, size_t length, std::vector<PRINTER_STATUS_TEXT>& out);
  // The same, each decoded message handed to `each` in order, without its
  // bit table; the text is valid during the call only.
  using Visit = std::function<void(const PRINTER_STATUS_TEXT& text)>;
  void OnUsm(const uint8_t* data, size_t length, const Visit& each);
  // The last automatic message decoded, with its bit table (an empty text
  // before the first).
  PRINTER_STATUS_TEXT LastAutomatic() const;
  // Forgets pending requests, a partial message and the previous messages.
  void Reset();

  // The reply `value` to DLE EOT n, compared with `previous` when given.
  static PRINTER_STATUS_TEXT DecodeReply(uint8_t n, uint8_t value, std::optional<uint8_t> previous);
  // One automatic status message (kAutomaticBytes bytes, or fewer for a
  // stray byte), compared with `previous` (empty: none).
  static PRINTER_STATUS_TEXT DecodeAutomatic(const std::vector<uint8_t>& message,
                                             const std::vector<uint8_t>& previous);

 private:
  struct PENDING {
    uint8_t n;
    uint64_t deadlineMs;
  };
  // An automatic message's text without its bit table, as made for the
  // message and the previous one it was compared with.
  struct MADE {
    std::vector<uint8_t> message;
    std::vector<uint8_t> previous;
    PRINTER_STATUS_TEXT text;
  };
  static constexpr size_t kMadeTexts = 256;
  // Decodes m_usm (or a stray byte) against m_lastAutomatic, remembers it
  // as the last; the text, from m_made.
  const PRINTER_STATUS_TEXT& MakeAutomatic(const std::vector<uint8_t>& message);
  template <typename Each>
  void ScanUsm(const uint8_t* data, size_t length, Each each);

  std::deque<PENDING> m_pending;
  std::array<std::optional<uint8_t>, 5> m_lastReply;  // by n; [0] unused
  std::vector<uint8_t> m_usm;                         // the message being assembled
  std::vector<uint8_t> m_lastAutomatic;               // the last known one, compared with
  std::vector<uint8_t> m_lastMessage;                 // the last decoded, and what it
  std::vector<uint8_t> m_lastPrevious;                // was compared with
  std::vector<MADE> m_made;                           // by a hash of both
};
