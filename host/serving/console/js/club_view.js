// The local player's side: the held clubs, preferences and presence, the selected club with its
// members and their actions, and the pending invitations.

import { call, CLUBS, enc } from './api.js';
import { $, h, iconBadge, showResult } from './dom.js';

const roleName = (role) => (typeof role === 'number'
  ? ['UNKNOWN', 'OWNER', 'OFFICER', 'MEMBER', 'INVITEE', 'NOMINEE'][role] ?? String(role)
  : String(role ?? ''));

const listOr = (items, none) => (items.length ? items : [h('li', { class: 'muted' }, none)]);

export function createClubView(state, refresh) {
  let selectedKey = '';

  const club = () => state.membership?.activeClubs?.find((c) => c.key === selectedKey);
  const me = () => state.membership?.info ?? {};

  // The last answer of each per-row action, so that a row rebuilt by an event keeps it.
  const answers = new Map();

  // Runs one API call for a button and shows its answer next to it; the page itself is updated
  // by the events the change publishes.
  async function act(output, method, path, body, success) {
    const answer = await call(method, path, body);
    showResult(output, answer, success);
    if (output.dataset.action) answers.set(output.dataset.action, { answer, success });
    return answer;
  }

  // An output for the actions of one row, showing the last answer it had.
  function rowOutput(key) {
    const output = h('output', { class: 'result', 'data-action': key });
    const last = answers.get(key);
    if (last) showResult(output, last.answer, last.success);
    return output;
  }

  function render(answer) {
    if (!answer.ok) {
      $('#player-info').textContent = `Membership not readable: ${answer.status} ${answer.errorCode || answer.message}`;
    }
    const membership = state.membership ?? { activeClubs: [], pendingInvites: [] };
    const clubs = membership.activeClubs ?? [];
    if (answer.ok) {
      const info = membership.info ?? {};
      const named = state.players.find((p) => String(p.accountId) === String(info.accountId));
      $('#player-info').textContent = `${info.summonerName || named?.name || '(no name)'} · account ${info.accountId} · summoner ${info.summonerId}`;
    }
    if (!clubs.some((c) => c.key === selectedKey)) selectedKey = clubs[0]?.key ?? '';
    renderClubList(clubs);
    renderPreferences(membership, clubs);
    $('#presence').textContent = membership.secureClubPresenceInfoString || '(none)';
    renderInvitations(membership.pendingInvites ?? []);
    renderClub();
  }

  function renderClubList(clubs) {
    const items = clubs.map((c) => h('li', {},
      h('button', {
        type: 'button', 'aria-pressed': String(c.key === selectedKey), 'data-key': c.key,
        onclick: () => { selectedKey = c.key; render({ ok: true }); },
      },
      h('span', {}, c.name, c.tag ? h('span', { class: 'badge', title: 'tag' }, `[${c.tag}]`) : null),
      h('span', {},
        c.primary ? h('span', { class: 'badge primary', title: 'primary club' }, '★ primary') : null,
        h('span', { class: 'badge', title: 'your role' }, roleName(c.role))))));
    $('#club-list').replaceChildren(...listOr(items, 'No clubs held.'));
  }

  function renderPreferences(membership, clubs) {
    const select = $('#pref-primary');
    const primary = membership.preferences?.primaryClubKey ?? '';
    select.replaceChildren(h('option', { value: '' }, '(none)'),
      ...clubs.map((c) => h('option', { value: c.key, selected: c.key === primary }, c.name)));
    $('#pref-share').checked = Boolean(membership.preferences?.shareClubAffiliation);
  }

  function renderInvitations(invites) {
    const items = invites.map((invite) => {
      const output = rowOutput(`invite ${invite.clubKey}`);
      const answerWith = (status, label) => h('button', {
        type: 'button',
        onclick: () => act(output, 'PATCH', `${CLUBS}/invitations`, { ...invite, status }, label),
      }, label[0].toUpperCase() + label.slice(1));
      return h('li', { 'data-club': invite.clubKey },
        h('strong', {}, invite.clubName), ` from ${invite.inviterSummonerName || invite.inviterSummonerId} `,
        answerWith('ACCEPTED', 'accept'), ' ', answerWith('REJECTED', 'decline'), ' ',
        answerWith('BLOCKED', 'block inviter'), ' ', output);
    });
    $('#invite-list').replaceChildren(...listOr(items, 'No pending invitations.'));
  }

  function memberRow(c, member) {
    const base = `${CLUBS}/${enc(c.key)}`;
    const id = member.summonerId;
    const output = rowOutput(`member ${c.key} ${id}`);
    const button = (label, method, path) => h('button', {
      type: 'button', 'aria-label': `${label} ${member.summonerName}`,
      onclick: () => act(output, method, path, undefined, label.toLowerCase()),
    }, label);
    const self = member.summonerId === me().summonerId;
    return h('tr', { 'data-summoner': id },
      h('td', {}, iconBadge(member.summonerIconId)),
      h('td', {}, member.summonerName || `(summoner ${id})`, self ? ' (you)' : ''),
      h('td', {}, roleName(member.role)),
      h('td', {}, self ? '' : [
        button('Promote', 'POST', `${base}/promotions/${id}`), ' ',
        button('Demote', 'DELETE', `${base}/promotions/${id}`), ' ',
        button('Remove', 'DELETE', `${base}/members/${id}`), ' ',
        button('Transfer ownership', 'POST', `${base}/members/${id}`), ' ',
      ], output));
  }

  function pendingItem(c, member, label, path) {
    const output = rowOutput(`${path} ${c.key} ${member.summonerId}`);
    return h('li', { 'data-summoner': member.summonerId }, iconBadge(member.summonerIconId), ' ',
      member.summonerName || `(summoner ${member.summonerId})`, ' ',
      h('button', {
        type: 'button', 'aria-label': `${label} ${member.summonerName}`,
        onclick: () => act(output, 'DELETE', `${CLUBS}/${enc(c.key)}/${path}/${member.summonerId}`, undefined, label.toLowerCase()),
      }, label), ' ', output);
  }

  function renderClub() {
    const c = club();
    $('#club-empty').hidden = Boolean(c);
    $('#club-body').hidden = !c;
    $('#club-title').textContent = c ? `Club: ${c.name}` : 'Club';
    if (!c) return;
    $('#club-key').textContent = c.key;
    // The owner record may lack the name the member list has.
    const owner = (c.members?.activeMembers ?? []).find((m) => m.role === 'OWNER') ?? c.owner ?? {};
    $('#club-owner').textContent = owner.summonerName || `(summoner ${owner.summonerId ?? '?'})`;
    $('#club-role').textContent = roleName(c.role);
    $('#club-description').textContent = c.description || '(none)';
    $('#club-motd').textContent = c.motd || '(none)';
    const lists = c.members ?? {};
    $('#active-members').replaceChildren(...(lists.activeMembers ?? []).map((m) => memberRow(c, m)));
    $('#invited-members').replaceChildren(...listOr(
      (lists.invitedMembers ?? []).map((m) => pendingItem(c, m, 'Withdraw', 'invitations')), 'None.'));
    $('#nominated-members').replaceChildren(...listOr(
      (lists.nominatedMembers ?? []).map((m) => pendingItem(c, m, 'Reject', 'nominations')), 'None.'));
    renderInviteChoices();
  }

  // The world's players who are not in the selected club, to invite or nominate.
  function renderInviteChoices() {
    const c = club();
    const select = $('#invite-who');
    const previous = select.value;
    const inClub = new Set([...(c?.members?.activeMembers ?? []), ...(c?.members?.invitedMembers ?? [])]
      .map((m) => String(m.summonerId)));
    const choices = state.players.filter((p) => !inClub.has(String(p.summonerId)));
    select.replaceChildren(...choices.map((p) => h('option', {
      value: p.summonerId, selected: String(p.summonerId) === previous,
    }, `${p.name} (${p.summonerId})`)));
  }

  function formResult(form) {
    return form.querySelector('output');
  }

  $('#create-club').addEventListener('submit', async (event) => {
    event.preventDefault();
    const form = event.currentTarget;
    const name = form.elements.name.value.trim();
    const answer = await act(formResult(form), 'POST', `${CLUBS}/membership`, { name }, 'created');
    if (answer.ok) {
      selectedKey = answer.data?.key ?? selectedKey;
      form.reset();
      refresh();
    }
  });
  $('#preferences').addEventListener('submit', (event) => {
    event.preventDefault();
    const form = event.currentTarget;
    act(formResult(form), 'PATCH', `${CLUBS}/membership/preferences`, {
      primaryClubKey: form.elements.primaryClubKey.value,
      shareClubAffiliation: form.elements.shareClubAffiliation.checked,
    }, 'saved');
  });
  $('#set-motd').addEventListener('submit', (event) => {
    event.preventDefault();
    const form = event.currentTarget;
    act(formResult(form), 'PATCH', `${CLUBS}/${enc(selectedKey)}/motd`, { motd: form.elements.motd.value }, 'set');
  });
  $('#set-tag').addEventListener('submit', (event) => {
    event.preventDefault();
    const form = event.currentTarget;
    act(formResult(form), 'PATCH', `${CLUBS}/${enc(selectedKey)}`, { tag: form.elements.tag.value }, 'set');
  });
  $('#view-club').addEventListener('click', () => act($('#club-result'), 'POST', `${CLUBS}/${enc(selectedKey)}/view`, undefined, 'noticed'));
  $('#leave-club').addEventListener('click', () => act($('#club-result'), 'DELETE', `${CLUBS}/${enc(selectedKey)}`, undefined, 'left'));
  $('#invite-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const form = event.currentTarget;
    const action = event.submitter?.value ?? 'invite';
    const id = form.elements.summonerId.value;
    if (!id) return;
    const path = action === 'nominate' ? 'nominations' : 'invitations';
    act(formResult(form), 'POST', `${CLUBS}/${enc(selectedKey)}/${path}/${id}`, undefined,
      action === 'nominate' ? 'nominated' : 'invited');
  });

  return { render, renderInviteChoices };
}
