// A spin control as the window has it: two arrows against a text edit,
// which they step. The edit keeps whatever text the user types; the control
// reads it only when its position is asked for or an arrow (or the Up and
// Down keys in the edit) is used.
export class SpinEdit {
  // Arrow repeat while held, in milliseconds: first delay, then period.
  static RepeatDelayMs = 400;
  static RepeatMs = 50;

  // edit: the text input; arrows: its two buttons (data-step +1 / -1).
  constructor(edit, arrows, { min, max, increment, position }) {
    this.edit = edit;
    this.min = min;
    this.max = max;
    this.increment = increment;
    this.format = new Intl.NumberFormat(undefined, { useGrouping: true, maximumFractionDigits: 0 });
    // The locale's thousands separator, which a typed number may contain.
    this.group = this.format.formatToParts(10000).find((p) => p.type === 'group')?.value ?? '';
    this.repeat = null;
    this.setPosition(position);
    for (const arrow of arrows) {
      const direction = Number(arrow.dataset.step);
      arrow.addEventListener('pointerdown', (event) => {
        if (event.button !== 0) return;
        event.preventDefault();
        this.step(direction);
        this.cancelRepeat();
        const again = () => {
          this.step(direction);
          this.repeat = setTimeout(again, SpinEdit.RepeatMs);
        };
        this.repeat = setTimeout(again, SpinEdit.RepeatDelayMs);
      });
      for (const type of ['pointerup', 'pointerleave', 'pointercancel']) {
        arrow.addEventListener(type, () => this.cancelRepeat());
      }
    }
    edit.addEventListener('keydown', (event) => {
      if (event.key === 'ArrowUp' || event.key === 'ArrowDown') {
        event.preventDefault();
        this.step(event.key === 'ArrowUp' ? 1 : -1);
      }
    });
  }

  cancelRepeat() {
    clearTimeout(this.repeat);
    this.repeat = null;
  }

  // Stores the position clamped into the range and writes it into the edit
  // in the locale's form (thousands grouped).
  setPosition(value) {
    this.position = Math.min(this.max, Math.max(this.min, value));
    this.edit.value = this.format.format(this.position);
  }

  // The edit's text as the position if it is a whole number within the
  // range (thousands separators and surrounding blanks allowed); any other
  // text leaves the last position in force, which the edit shows again.
  readPosition() {
    let text = this.edit.value.trim();
    if (this.group !== '') text = text.split(this.group).join('');
    const typed = /^[+-]?\d{1,10}$/.test(text) ? Number(text) : NaN;
    if (typed >= this.min && typed <= this.max) this.position = typed;
    else this.setPosition(this.position);
    return this.position;
  }

  // One arrow step, clamped at the ends.
  step(direction) {
    this.setPosition(this.readPosition() + direction * this.increment);
  }
}
