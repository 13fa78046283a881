// Going back to a world: the reset to the one the host started with (which also clears the fault
// rules and the toasts), and worlds kept under a name and restored later. The host answers once
// the plugin has heard the change, so the page re-reads everything right after.

import { call, enc, HOST } from './api.js';
import { $, h, showResult } from './dom.js';

export function createWorldSnapshots(afterChange) {
  const output = $('#snapshot-result');
  const name = $('#snapshot-name');
  const list = $('#snapshot-list');

  async function refresh() {
    const answer = await call('GET', `${HOST}/world/snapshots`);
    if (!answer.ok) return;
    const chosen = list.value;
    list.replaceChildren(...answer.data.snapshots.map((snapshot) =>
      h('option', { value: snapshot.name }, `${snapshot.name} (${snapshot.bytes} bytes)`)));
    if (chosen) list.value = chosen;
  }

  async function reset() {
    const answer = await call('POST', `${HOST}/world/reset`);
    showResult(output, answer, 'reset to the starting world; fault rules and toasts cleared');
    if (answer.ok) afterChange();
  }

  async function keep(event) {
    event.preventDefault();
    const kept = name.value;
    const answer = await call('PUT', `${HOST}/world/snapshots/${enc(kept)}`);
    showResult(output, answer, `kept as ${kept}`);
    await refresh();
    if (answer.ok) list.value = kept;
  }

  async function restore() {
    const chosen = list.value;
    if (!chosen) return;
    const answer = await call('POST', `${HOST}/world/snapshots/${enc(chosen)}/restore`);
    showResult(output, answer, `restored ${chosen}`);
    if (answer.ok) afterChange();
  }

  function init() {
    $('#world-reset').addEventListener('click', reset);
    $('#snapshot-form').addEventListener('submit', keep);
    $('#snapshot-restore').addEventListener('click', restore);
    refresh();
  }
  return { init, refresh };
}
