#include "engines/chromium/PageScript.h"

namespace qm::chromium {
namespace {

// Records of the mirror (keys kept short: a page of thousands of controls
// travels in one message):
//   i id, n tag name, x position in the document's order, a attributes
//   [name, value, ...], f form owner id (0 none), y type, v value,
//   c checked, m maxLength, s selected, t option text, ix option index,
//   o option ids, h resolved href or src, k connected (describe only),
//   p parent id (describe only).
// The mirror: {u url, cs charset, ti title, r records}.
// Write operations: ["v", id, value], ["c", id, checked], ["s", id, selected],
// ["sv", id, value], ["si", id, index], ["a", id, name, value],
// ["ra", id, name], ["bg", id, colour], ["ti", id, title].
constexpr char Source[] = R"JS(
(() => {
'use strict';
if (globalThis.__quillmate) return;
const bindingName = '__quillmateEvent';
const send = globalThis[bindingName];
const W = s => (typeof s !== 'string') ? '' : (s.isWellFormed() ? s : s.toWellFormed());
const MIRRORED = new Set(['FORM', 'INPUT', 'SELECT', 'OPTION', 'TEXTAREA', 'BUTTON', 'FIELDSET',
  'OBJECT', 'OUTPUT', 'A', 'AREA', 'META', 'IFRAME', 'FRAME', 'EMBED']);
const LISTED = new Set(['INPUT', 'SELECT', 'TEXTAREA', 'BUTTON', 'FIELDSET', 'OBJECT', 'OUTPUT']);
let nextId = 1;
const ids = new WeakMap();
const nodes = new Map();
const extra = new WeakMap();
let noticed = false, lastSent = null, applying = 0;
const roots = new WeakSet();
const post = o => { try { send(JSON.stringify(o)); } catch (e) {} };
const notice = () => { if (!noticed) { noticed = true; post({k: 'd'}); } };
const observer = new MutationObserver(notice);
const observe = root => {
  if (roots.has(root)) return;
  roots.add(root);
  observer.observe(root, {subtree: true, childList: true, attributes: true, characterData: true});
};
observe(document);
const idOf = e => {
  let i = ids.get(e);
  if (i === undefined) { i = nextId++; ids.set(e, i); nodes.set(i, e); }
  return i;
};
const node = i => nodes.get(i) || null;

// Every element in order: the document's own, then each open shadow root's
// (in the order their hosts come), so shadow content follows the page's.
const walk = visit => {
  const queue = [document];
  let index = 0;
  for (let q = 0; q < queue.length; q++) {
    const root = queue[q];
    if (root !== document) observe(root);
    const tw = document.createTreeWalker(root, NodeFilter.SHOW_ELEMENT);
    for (let e = tw.nextNode(); e; e = tw.nextNode()) {
      if (visit(e, index++) === false) return;
      if (e.shadowRoot) queue.push(e.shadowRoot);
    }
  }
};
const attrs = e => {
  const out = [];
  const a = e.attributes;
  if (a) for (let i = 0; i < a.length; i++) out.push(W(a[i].name), W(a[i].value));
  const x = extra.get(e);
  if (x) for (const [name, value] of x.values()) out.push(name, value);
  return out;
};
const selectOf = o => {
  let p = o.parentElement;
  if (p && p.tagName === 'OPTGROUP') p = p.parentElement;
  return p && p.tagName === 'SELECT' ? p : null;
};
const record = (e, index) => {
  const t = e.tagName;
  const r = {i: idOf(e), n: W(t), x: index, a: attrs(e)};
  if (LISTED.has(t)) r.f = e.form ? idOf(e.form) : 0;
  switch (t) {
    case 'INPUT': r.y = e.type; r.v = W(e.value); r.c = e.checked; r.m = e.maxLength; break;
    case 'TEXTAREA': r.v = W(e.value); r.dv = W(e.defaultValue); break;
    case 'SELECT': r.o = Array.from(e.options, idOf); break;
    case 'OPTION': r.s = e.selected; r.v = W(e.value); r.t = W(e.text);
      r.ix = selectOf(e) ? e.index : -1; break;
    case 'BUTTON': r.y = e.type; break;
    case 'A': case 'AREA': r.h = e.hasAttribute('href') ? W(e.href) : ''; break;
    case 'IFRAME': case 'FRAME': r.h = e.hasAttribute('src') ? W(e.src) : ''; break;
  }
  return r;
};
const snap = force => {
  observer.takeRecords();
  noticed = false;
  const records = [];
  walk((e, index) => { if (MIRRORED.has(e.tagName)) records.push(record(e, index)); });
  const text = JSON.stringify({u: W(document.URL), cs: document.characterSet,
                               ti: W(document.title), r: records});
  if (!force && text === lastSent) return 0;
  lastSent = text;
  return text;
};
const positionOf = target => {
  let found = -1;
  walk((e, index) => { if (e === target) { found = index; return false; } });
  return found;
};
const parentOf = e => e.parentElement || (e.parentNode && e.parentNode.host) || null;
const describe = i => {
  const e = node(i);
  if (!e) return null;
  const r = MIRRORED.has(e.tagName) ? record(e, -1) : {i, n: W(e.tagName), a: attrs(e)};
  r.k = e.isConnected;
  r.x = r.k ? positionOf(e) : -1;
  const p = parentOf(e);
  r.p = p ? idOf(p) : 0;
  return JSON.stringify(r);
};
const list = tag => {
  const out = [];
  const want = tag.toUpperCase();
  walk(e => { if (!want || e.tagName.toUpperCase() === want) out.push(idOf(e), W(e.tagName)); });
  return JSON.stringify(out);
};

// A user's edit as the page's frameworks see it: the native setter (this
// world's wrappers bypass the page's own value trackers), then input and
// change.
const raise = e => {
  e.dispatchEvent(new Event('input', {bubbles: true, composed: true}));
  e.dispatchEvent(new Event('change', {bubbles: true}));
};
const setAttr = (e, name, value) => {
  try {
    e.setAttribute(name, value);
    const x = extra.get(e);
    if (x) x.delete(name.toLowerCase());
  } catch (err) {
    // Names the DOM refuses (a space, a quote) live beside the element.
    let x = extra.get(e);
    if (!x) { x = new Map(); extra.set(e, x); }
    x.set(name.toLowerCase(), [W(name), value]);
  }
};
const removeAttr = (e, name) => {
  const x = extra.get(e);
  if (x) x.delete(name.toLowerCase());
  try { e.removeAttribute(name); } catch (err) {}
};
const apply1 = op => {
  const e = node(op[1]);
  if (!e) return;
  switch (op[0]) {
    case 'v':
      if (e.value !== op[2]) { e.value = op[2]; raise(e); }
      break;
    case 'c':
      if (e.checked !== op[2]) { e.checked = op[2]; raise(e); }
      break;
    case 's': {
      if (e.selected === op[2]) break;
      e.selected = op[2];
      const s = selectOf(e);
      if (s) raise(s);
      break;
    }
    case 'sv':
      e.value = op[2]; raise(e); break;
    case 'si':
      e.selectedIndex = op[2]; raise(e); break;
    case 'a': setAttr(e, op[2], op[3]); break;
    case 'ra': removeAttr(e, op[2]); break;
    case 'bg': if (e.style) e.style.backgroundColor = op[2]; break;
    case 'ti': e.title = op[2]; break;
  }
};
const apply = ops => {
  applying++;
  try {
    for (const op of ops) { try { apply1(op); } catch (err) {} }
  } finally {
    applying--;
  }
  return 1;
};

// The page's events, in the order it raises them, before its own handlers.
const targetOf = ev => {
  const path = ev.composedPath();
  for (const n of path) if (n instanceof Element) return n;
  return null;
};
const pathOf = ev => {
  const out = [];
  for (const n of ev.composedPath()) if (n instanceof Element) out.push(idOf(n));
  return out;
};
const report = (type, ev, prop) => {
  if (applying) return;
  const t = targetOf(ev);
  if (!t) return;
  post({k: 'e', t: type, p: pathOf(ev), n: W(t.tagName), q: prop || ''});
};
const checkable = t => t && t.tagName === 'INPUT' && (t.type === 'checkbox' || t.type === 'radio');
addEventListener('click', ev => {
  if (checkable(targetOf(ev))) report('propertychange', ev, 'checked');
  report('click', ev);
}, true);
addEventListener('mousedown', ev => report('mousedown', ev), true);
addEventListener('mouseup', ev => report('mouseup', ev), true);
addEventListener('submit', ev => report('submit', ev), true);
addEventListener('input', ev => {
  const t = targetOf(ev);
  if (t && !checkable(t) && t.tagName !== 'SELECT') report('propertychange', ev, 'value');
}, true);
addEventListener('change', ev => report('change', ev), true);

const calls = {
  snap, apply, describe, list,
  click: i => {
    const e = node(i);
    if (!e) return 0;
    if (e instanceof HTMLElement) e.click();
    else e.dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true, composed: true}));
    return 1;
  },
  // Brings the element into view (its frames too) for a pointer gesture;
  // answers whether a person could see it to point at it.
  reveal: i => {
    const e = node(i);
    if (!e || !e.isConnected || typeof e.getClientRects !== 'function') return 0;
    if (typeof e.checkVisibility === 'function' &&
        !e.checkVisibility({visibilityProperty: true, opacityProperty: false})) return 0;
    e.scrollIntoView({block: 'center', inline: 'center', behavior: 'instant'});
    for (const r of e.getClientRects()) if (r.width > 0 && r.height > 0) return 1;
    return 0;
  },
  submit: i => {
    const e = node(i);
    if (e && e.tagName === 'FORM') HTMLFormElement.prototype.submit.call(e);
    return 1;
  },
  text: i => { const e = node(i); return e ? W(e.innerText === undefined ? e.textContent : e.innerText) : ''; },
  html: i => { const e = node(i); return e ? W(e.innerHTML) : ''; },
  active: () => {
    let e = document.activeElement;
    while (e && e.shadowRoot && e.shadowRoot.activeElement) e = e.shadowRoot.activeElement;
    return e ? idOf(e) : 0;
  },
  node: i => node(i),
  // Moves the focus to the element as a user's gesture would; with caret
  // 'all' its text is selected (typing then replaces it), with 'end' the
  // caret goes after it. Answers whether the element holds the focus.
  focus: (i, caret) => {
    const e = node(i);
    if (!e || !e.isConnected || typeof e.focus !== 'function') return 0;
    e.focus();
    let a = document.activeElement;
    while (a && a.shadowRoot && a.shadowRoot.activeElement) a = a.shadowRoot.activeElement;
    if (a !== e) return 0;
    try {
      if (caret === 'all' && typeof e.select === 'function') e.select();
      else if (caret === 'end' && typeof e.setSelectionRange === 'function')
        e.setSelectionRange(e.value.length, e.value.length);
    } catch (err) {
      // Types without a caret (email, number) keep the browser's own.
    }
    return 1;
  },
};
Object.defineProperty(globalThis, '__quillmate', {
  value: Object.freeze({call: a => calls[a[0]](...a.slice(1))}),
});
})();
)JS";

}  // namespace

const std::string& PageScriptSource() {
  static const std::string source(Source);
  return source;
}

}  // namespace qm::chromium
