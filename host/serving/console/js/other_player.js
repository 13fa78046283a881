// Acting as another player of the world on the clubs web service: the host signs the request
// with that player's token, and the change reaches the plugin as the service's push message,
// exactly as a real other player's would.

import { asPlayer, enc } from './api.js';
import { $, h, showResult } from './dom.js';

export function createOtherPlayer(state) {
  const form = $('#other-form');
  let theirs = null;  // the acting player's membership, as the service gives it to them

  const acting = () => state.players.find((p) => String(p.accountId) === form.elements.accountId.value);
  const target = () => state.players.find((p) => String(p.accountId) === form.elements.target.value);
  const me = () => state.membership?.info;

  function options(select, players, preferred) {
    const previous = select.value || String(preferred ?? '');
    select.replaceChildren(...players.map((p) => h('option', {
      value: p.accountId, selected: String(p.accountId) === previous,
    }, `${p.name} (account ${p.accountId})`)));
  }

  function setPlayers() {
    const mine = String(me()?.accountId ?? state.players[0]?.accountId ?? '');
    const others = state.players.filter((p) => String(p.accountId) !== mine);
    options(form.elements.accountId, others);
    options(form.elements.target, state.players, mine);
    refresh();
  }

  async function refresh() {
    const player = acting();
    if (!player) return;
    const answer = await asPlayer(player.accountId, 'GET',
      `/v1/membership/${enc(player.platformId)}/${player.accountId}`);
    theirs = answer.ok ? answer.data : null;
    render();
  }

  // Their clubs (with their role) and their pending invitations, both choices of "Their club".
  function render() {
    const select = form.elements.clubKey;
    const previous = select.value;
    const clubs = (theirs?.activeClubs ?? []).map((c) => c.clubData ?? {});
    const invites = theirs?.pendingInvites ?? [];
    select.replaceChildren(
      ...clubs.map((c) => h('option', { value: c.clubKey, selected: c.clubKey === previous }, `${c.name} (${c.role})`)),
      ...invites.map((i) => h('option', { value: i.clubKey, selected: i.clubKey === previous }, `${i.clubName} (invited)`)));
    $('#other-membership').textContent = theirs
      ? `In ${clubs.length} club(s), ${invites.length} pending invitation(s).`
      : 'Their membership is not readable.';
  }

  // Each action as the service spells it: members by account id, invitees and nominees by
  // summoner id.
  function request(action, player, key, other, text) {
    const club = `/v1/clubs/${enc(key)}`;
    const own = `/v1/membership/${enc(player.platformId)}/${player.accountId}`;
    switch (action) {
      case 'invite': return ['POST', `${club}/invites`, { inviteeSummonerId: Number(other.summonerId) }];
      case 'promote':
      case 'demote':
      case 'remove':
      case 'ownership': return ['POST', `${club}/${action}/${other.accountId}`];
      case 'nominate': return ['POST', `${club}/nominate/${other.summonerId}`];
      case 'accept': return ['POST', `${own}/invites/${enc(key)}`, { status: 1 }];
      case 'leave': return ['POST', `${own}/leave/${enc(key)}`];
      case 'motd': return ['PUT', `${club}/motd`, text, 'text/plain'];
      case 'create': return ['POST', `/v1/clubs?clubName=${enc(text)}`];
      default: return null;
    }
  }

  form.addEventListener('change', (event) => {
    if (event.target === form.elements.accountId) refresh();
  });
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const player = acting();
    const action = event.submitter?.value;
    const other = target();
    const output = form.querySelector('output');
    const call = player && other ? request(action, player, form.elements.clubKey.value, other, form.elements.text.value) : null;
    if (!call) {
      showResult(output, { ok: false, status: 0, errorCode: '', message: 'choose the players first' });
      return;
    }
    const [method, path, body, type] = call;
    const answer = await asPlayer(player.accountId, method, path, body, type);
    showResult(output, answer, `${player.name}: ${action}`);
    refresh();
  });

  return { setPlayers, refresh, render };
}
