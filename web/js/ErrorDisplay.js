// The one place where the page shows an error: a modal dialog with the
// error's message, the application's name as caption, the stop icon and an
// OK button. Every handler runs through guard(), so a failed handler is
// abandoned where it threw, what it changed stays changed, and the page
// carries on.
//
// Not every error opens the dialog, because a timer ticking every
// millisecond would otherwise bury the user in them: while the dialog is
// open further errors are dropped, and once the user has closed it, the same
// message is dropped until a guarded handler has succeeded (otherwise a
// failing tick would reopen it at once and the edit could never be mended).
export class ErrorDisplay {
  // dialog: the <dialog>; text: the element that shows the message.
  // onShow() runs before the dialog opens (to cancel a held arrow).
  constructor(dialog, text, onShow = () => {}) {
    this.dialog = dialog;
    this.text = text;
    this.onShow = onShow;
    this.lastClosed = null;
    this.shown = 0;
    this.dropped = 0;
    dialog.addEventListener('close', () => {
      this.lastClosed = this.text.textContent;
    });
  }

  // The text as the dialog shows it: a full stop appended when the text is
  // not empty and its last character's code is above that of '.', so a text
  // ending in '.', '!', ')', ',' or a blank stays as it is.
  static withFullStop(message) {
    return message !== '' && message.charCodeAt(message.length - 1) > 0x2e ? `${message}.` : message;
  }

  show(message) {
    const text = ErrorDisplay.withFullStop(message);
    if (this.dialog.open || text === this.lastClosed) {
      ++this.dropped;
      return;
    }
    this.onShow();
    this.text.textContent = text;
    ++this.shown;
    this.dialog.showModal();
  }

  // A handler succeeded: a message shown before may be shown again.
  rearm() {
    this.lastClosed = null;
  }

  // Runs the handler; what it throws, or what the promise it returns
  // rejects with, goes to show() and no further. A handler that returns
  // normally re-arms the display for a message it has shown before.
  guard(handler) {
    try {
      const result = handler();
      this.lastClosed = null;
      if (typeof result?.then === 'function') {
        result.catch((error) => this.show(error instanceof Error ? error.message : String(error)));
      }
      return result;
    } catch (error) {
      this.show(error instanceof Error ? error.message : String(error));
      return undefined;
    }
  }
}
