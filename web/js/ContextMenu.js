// The context menu of the lattice and the chart: a <menu> of buttons shown
// at the pointer, closed by a choice, a click elsewhere, Escape or a scroll.
export class ContextMenu {
  // menu: the <menu>; onChoose(button) runs the chosen entry;
  // onOpen() brings the entries up to date before the menu shows.
  constructor(menu, onChoose, onOpen) {
    this.menu = menu;
    this.onOpen = onOpen;
    menu.addEventListener('click', (event) => {
      const button = event.target.closest('button');
      if (!button || button.disabled) return;
      this.close();
      onChoose(button);
    });
    menu.addEventListener('contextmenu', (event) => event.preventDefault());
    document.addEventListener('pointerdown', (event) => {
      if (!menu.hidden && !menu.contains(event.target)) this.close();
    });
    document.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') this.close();
    });
    window.addEventListener('blur', () => this.close());
    window.addEventListener('scroll', () => this.close(), true);
  }

  // Opens the menu on right-clicks of `element`.
  attach(element) {
    element.addEventListener('contextmenu', (event) => {
      event.preventDefault();
      this.open(event.clientX, event.clientY);
    });
  }

  open(x, y) {
    this.onOpen();
    this.menu.hidden = false;
    // Inside the viewport, as a system menu opens.
    const width = this.menu.offsetWidth, height = this.menu.offsetHeight;
    const left = Math.max(0, Math.min(x, document.documentElement.clientWidth - width));
    const top = Math.max(0, Math.min(y, document.documentElement.clientHeight - height));
    this.menu.style.left = `${left + window.scrollX}px`;
    this.menu.style.top = `${top + window.scrollY}px`;
    this.menu.querySelector('button:not(:disabled)')?.focus({ preventScroll: true });
  }

  close() {
    this.menu.hidden = true;
  }
}
