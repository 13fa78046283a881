// A small element builder and the result display shared by every action.

export function h(tag, attributes = {}, ...children) {
  const element = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === false || value === null || value === undefined) continue;
    if (name.startsWith('on')) element.addEventListener(name.slice(2), value);
    else if (name === 'text') element.textContent = value;
    else element.setAttribute(name, value === true ? '' : value);
  }
  for (const child of children.flat()) {
    if (child !== null && child !== undefined && child !== false) {
      element.append(child instanceof Node ? child : String(child));
    }
  }
  return element;
}

export const $ = (selector, root = document) => root.querySelector(selector);

// Shows an answer next to its action: the status, and for a refusal its errorCode and message.
export function showResult(output, answer, success = 'done') {
  if (!output) return;
  output.className = `result ${answer.ok ? 'ok' : 'refused'}`;
  output.setAttribute('role', answer.ok ? 'status' : 'alert');
  output.textContent = answer.ok
    ? `${answer.status} ${success}`
    : [answer.status, answer.errorCode, answer.message].filter(Boolean).join(' ');
}

// A stable colour per icon id, so that the same player's badge looks the same everywhere.
export function iconBadge(iconId) {
  const known = Number.isInteger(iconId) && iconId >= 0;
  const hue = known ? (iconId * 47) % 360 : 0;
  // Through the style object: the page's content policy refuses style attributes.
  const badge = h('span', {
    class: 'icon',
    title: known ? `profile icon ${iconId}` : 'no icon known',
    'aria-label': known ? `icon ${iconId}` : 'no icon',
  }, known ? String(iconId) : '?');
  badge.style.background = known ? `hsl(${hue} 45% 42%)` : '#9aa4ae';
  return badge;
}
