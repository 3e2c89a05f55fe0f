<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QObject</name>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
</context>
<context>
    <name>kestavo::admin</name>
    <message>
        <source>IP address octet %1</source>
        <translation>IP-Adresse, Oktett %1</translation>
    </message>
    <message>
        <source>MAC address byte %1</source>
        <translation>MAC-Adresse, Byte %1</translation>
    </message>
    <message>
        <source>Security settings</source>
        <translation>Sicherheitseinstellungen</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>Stationsname</translation>
    </message>
    <message>
        <source> Nothing was sent; enter an address of the unit&apos;s own network.</source>
        <translation> Es wurde nichts gesendet; bitte eine Adresse aus dem eigenen Netz des Geräts eingeben.</translation>
    </message>
    <message>
        <source> means &quot;no address&quot;: the unit could not be reached any more.</source>
        <translation> bedeutet „keine Adresse“: das Gerät wäre nicht mehr erreichbar.</translation>
    </message>
    <message>
        <source> is the broadcast address of every network, never one machine&apos;s.</source>
        <translation> ist die Broadcast-Adresse aller Netze, nie die eines einzelnen Rechners.</translation>
    </message>
    <message>
        <source> is a loopback address: it never leaves a machine, so the unit could not be reached any more.</source>
        <translation> ist eine Loopback-Adresse: sie verlässt nie einen Rechner, daher wäre das Gerät nicht mehr erreichbar.</translation>
    </message>
    <message>
        <source> is a multicast (group) address, never one machine&apos;s.</source>
        <translation> ist eine Multicast-(Gruppen-)Adresse, nie die eines einzelnen Rechners.</translation>
    </message>
    <message>
        <source> is in the reserved range 240.0.0.0 - 255.255.255.254, which no machine may use.</source>
        <translation> liegt im reservierten Bereich 240.0.0.0 - 255.255.255.254, den kein Rechner verwenden darf.</translation>
    </message>
    <message>
        <source> Nothing was sent.</source>
        <translation> Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source> is no network card&apos;s address.</source>
        <translation> ist keine Adresse einer Netzwerkkarte.</translation>
    </message>
    <message>
        <source> is the broadcast address, never one machine&apos;s.</source>
        <translation> ist die Broadcast-Adresse, nie die eines einzelnen Rechners.</translation>
    </message>
    <message>
        <source> has the multicast bit set (the lowest bit of its first byte), so no single machine can have it. Use an even first byte.</source>
        <translation> hat das Multicast-Bit gesetzt (das niedrigste Bit des ersten Bytes), daher kann kein einzelner Rechner sie haben. Bitte ein gerades erstes Byte verwenden.</translation>
    </message>
</context>
<context>
    <name>kestavo::admin::AddressChangeDialog</name>
    <message>
        <source>The old address %1 could not be removed from this computer&apos;s address cache (%2): %3</source>
        <translation>Die alte Adresse %1 konnte nicht aus dem Adress-Cache dieses Rechners entfernt werden (%2): %3</translation>
    </message>
</context>
<context>
    <name>kestavo::admin::ChangeIpDialog</name>
    <message>
        <source>Change %1 to %2?</source>
        <translation>%1 in %2 ändern?</translation>
    </message>
</context>
<context>
    <name>kestavo::admin::ChangeMacDialog</name>
    <message>
        <source>the unit&apos;s address</source>
        <translation>die Adresse des Geräts</translation>
    </message>
    <message>
        <source>Change %1 to %2?</source>
        <translation>%1 in %2 ändern?</translation>
    </message>
</context>
<context>
    <name>kestavo::admin::SecurityDialog</name>
    <message>
        <source>Station address</source>
        <translation>Adresse der Station</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>Neues Kennwort</translation>
    </message>
    <message>
        <source>IP number %1 octet %2</source>
        <translation>IP-Nummer %1, Oktett %2</translation>
    </message>
    <message>
        <source>HTTP Server status</source>
        <translation>Zustand des HTTP-Servers</translation>
    </message>
    <message>
        <source>SNMP Access status</source>
        <translation>Zustand des SNMP-Zugriffs</translation>
    </message>
    <message>
        <source>password change</source>
        <translation>Kennwortänderung</translation>
    </message>
    <message>
        <source>allowed IP numbers</source>
        <translation>erlaubte IP-Nummern</translation>
    </message>
    <message>
        <source>No socket to the unit at %1 could be opened: %2. Check the network connection and try again.</source>
        <translation>Zum Gerät unter %1 ließ sich kein Socket öffnen: %2. Bitte die Netzwerkverbindung prüfen und es erneut versuchen.</translation>
    </message>
    <message>
        <source>The %1 could not be sent to the unit at %2: %3. Check the network connection and try again.</source>
        <translation>Senden von „%1“ an das Gerät unter %2 fehlgeschlagen: %3. Bitte die Netzwerkverbindung prüfen und es erneut versuchen.</translation>
    </message>
    <message>
        <source>Allowed IP number %1, box %2 holds %3, but each part of an IP number is 0 to 255. Correct it and press OK again; nothing was sent.</source>
        <translation>Erlaubte IP-Nummer %1, Feld %2 enthält %3, aber jeder Teil einer IP-Nummer liegt zwischen 0 und 255. Bitte korrigieren und erneut OK drücken; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>an address that could not be read</source>
        <translation>eine Adresse, die sich nicht lesen ließ</translation>
    </message>
    <message>
        <source>This computer reaches the unit from %1, which is not one of the five allowed IP numbers. Once the unit takes this list it will stop answering this computer, and only a computer on the list can change it back.

Send the list anyway?</source>
        <translation>Dieser Rechner erreicht das Gerät von %1 aus, und das ist keine der fünf erlaubten IP-Nummern. Sobald das Gerät diese Liste übernimmt, antwortet es diesem Rechner nicht mehr, und nur ein Rechner auf der Liste kann das wieder ändern.

Die Liste trotzdem senden?</translation>
    </message>
    <message>
        <source>The unit at %1 now uses the new password, but the station record could not be updated: %2 Until the record holds the new password the unit will refuse this console.</source>
        <translation>Das Gerät unter %1 verwendet jetzt das neue Kennwort, aber der Stationseintrag konnte nicht aktualisiert werden: %2 Bis der Eintrag das neue Kennwort enthält, weist das Gerät diese Konsole ab.</translation>
    </message>
    <message>
        <source>The unit at %1 did not answer the password change within %2 seconds. It may or may not use the new password now; the station record still holds the old one. If the unit refuses this console from now on, press &quot;Add IP&quot; in the main window, enter %1 with the new password and let it update the station.</source>
        <translation>Das Gerät unter %1 hat auf die Kennwortänderung nicht innerhalb von %2 Sekunden geantwortet. Es verwendet jetzt vielleicht das neue Kennwort, vielleicht nicht; der Stationseintrag enthält noch das alte. Weist das Gerät diese Konsole ab jetzt ab, bitte im Hauptfenster „Add IP“ drücken, %1 mit dem neuen Kennwort eingeben und die Station aktualisieren lassen.</translation>
    </message>
</context>
<context>
    <name>kestavo::alarms</name>
    <message>
        <source>Alarms per station</source>
        <translation>Alarme je Station</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarme</translation>
    </message>
    <message>
        <source>Event log and rules</source>
        <translation>Ereignisprotokoll und Regeln</translation>
    </message>
    <message>
        <source>Event log</source>
        <translation>Ereignisprotokoll</translation>
    </message>
    <message>
        <source>Rules</source>
        <translation>Regeln</translation>
    </message>
    <message>
        <source>Audit log</source>
        <translation>Prüfprotokoll</translation>
    </message>
    <message>
        <source>Filter by station address</source>
        <translation>Nach Stationsadresse filtern</translation>
    </message>
    <message>
        <source>every station</source>
        <translation>jede Station</translation>
    </message>
    <message>
        <source>From time</source>
        <translation>Ab Zeitpunkt</translation>
    </message>
    <message>
        <source>Until time</source>
        <translation>Bis Zeitpunkt</translation>
    </message>
    <message>
        <source>Filter by text</source>
        <translation>Nach Text filtern</translation>
    </message>
    <message>
        <source>text in the command, outcome or user</source>
        <translation>Text in Befehl, Ergebnis oder Benutzer</translation>
    </message>
    <message>
        <source>Export CSV…</source>
        <translation>CSV exportieren…</translation>
    </message>
    <message>
        <source>Export the audit log as CSV</source>
        <translation>Das Prüfprotokoll als CSV exportieren</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Until</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>CSV exportieren</translation>
    </message>
    <message>
        <source>The CSV file &quot;%1&quot; could not be written (%2); choose another folder.</source>
        <translation>Die CSV-Datei „%1“ konnte nicht geschrieben werden (%2); bitte einen anderen Ordner wählen.</translation>
    </message>
    <message>
        <source>1 alarm is not acknowledged. Exit anyway?</source>
        <translation>1 Alarm ist nicht quittiert. Trotzdem beenden?</translation>
    </message>
    <message>
        <source>%1 alarms are not acknowledged. Exit anyway?</source>
        <translation>%1 Alarme sind nicht quittiert. Trotzdem beenden?</translation>
    </message>
    <message>
        <source>Kestavo</source>
        <translation>Kestavo</translation>
    </message>
    <message>
        <source>No sound device: alarms are silent</source>
        <translation>Kein Audiogerät: Alarme bleiben stumm</translation>
    </message>
    <message>
        <source>Local time, %1 (%2)</source>
        <translation>Ortszeit, %1 (%2)</translation>
    </message>
    <message>
        <source>Audit filter note</source>
        <translation>Hinweis zum Filter des Prüfprotokolls</translation>
    </message>
    <message>
        <source>&quot;From&quot; is after &quot;Until&quot;: no record can be listed.</source>
        <translation>„Von“ liegt nach „Bis“: es kann kein Eintrag aufgeführt werden.</translation>
    </message>
    <message>
        <source>Routes</source>
        <translation>Wege</translation>
    </message>
    <message>
        <source>Maintenance</source>
        <translation>Wartung</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
</context>
<context>
    <name>kestavo::alarmwindows::AlarmNotifications</name>
    <message>
        <source>Kestavo alarm at %1</source>
        <translation>Kestavo-Alarm bei %1</translation>
    </message>
</context>
<context>
    <name>kestavo::alarmwindows::AlarmSummaryLabel</name>
    <message>
        <source>%1: %2 open, in maintenance</source>
        <translation>%1: %2 offen, in Wartung</translation>
    </message>
    <message>
        <source>Alarms: none outside maintenance</source>
        <translation>Alarme: keine außerhalb der Wartung</translation>
    </message>
    <message>
        <source>Alarms: none</source>
        <translation>Alarme: keine</translation>
    </message>
    <message>
        <source>%1: %2 open, highest %3</source>
        <translation>%1: %2 offen, höchste %3</translation>
    </message>
    <message>
        <source>1 station in alarm · highest: %1</source>
        <translation>1 Station im Alarm · höchste: %1</translation>
    </message>
    <message>
        <source>%1 stations in alarm · highest: %2</source>
        <translation>%1 Stationen im Alarm · höchste: %2</translation>
    </message>
</context>
<context>
    <name>kestavo::alarmwindows::AlarmsWindow</name>
    <message>
        <source>Open alarms</source>
        <translation>Offene Alarme</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>Quittieren</translation>
    </message>
    <message>
        <source>Acknowledge the selected alarm</source>
        <translation>Den gewählten Alarm quittieren</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>Alle quittieren</translation>
    </message>
    <message>
        <source>Acknowledge all alarms</source>
        <translation>Alle Alarme quittieren</translation>
    </message>
    <message>
        <source>Shelve for minutes</source>
        <translation>Zurückstellen für Minuten</translation>
    </message>
    <message>
        <source> min</source>
        <translation> min</translation>
    </message>
    <message>
        <source>Shelve</source>
        <translation>Zurückstellen</translation>
    </message>
    <message>
        <source>Shelve the selected alarm</source>
        <translation>Den gewählten Alarm zurückstellen</translation>
    </message>
    <message>
        <source>Mute sounds</source>
        <translation>Töne stummschalten</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
    <message>
        <source>Mute alarm sounds</source>
        <translation>Alarmtöne stummschalten</translation>
    </message>
    <message>
        <source>Filter the event log</source>
        <translation>Das Ereignisprotokoll filtern</translation>
    </message>
    <message>
        <source>Filter: station, alarm, state or name</source>
        <translation>Filter: Station, Alarm, Zustand oder Name</translation>
    </message>
    <message>
        <source>Export CSV…</source>
        <translation>CSV exportieren…</translation>
    </message>
    <message>
        <source>Export the event log as CSV</source>
        <translation>Das Ereignisprotokoll als CSV exportieren</translation>
    </message>
    <message>
        <source>Alarm event log</source>
        <translation>Alarm-Ereignisprotokoll</translation>
    </message>
    <message>
        <source>Alarm rules</source>
        <translation>Alarmregeln</translation>
    </message>
    <message>
        <source>On-delay</source>
        <translation>Einschaltverzögerung</translation>
    </message>
    <message>
        <source>Off-delay</source>
        <translation>Ausschaltverzögerung</translation>
    </message>
    <message>
        <source>Rule station</source>
        <translation>Station der Regel</translation>
    </message>
    <message>
        <source>empty: every station</source>
        <translation>leer: jede Station</translation>
    </message>
    <message>
        <source>Rule kind</source>
        <translation>Art der Regel</translation>
    </message>
    <message>
        <source>Rule channel</source>
        <translation>Kanal der Regel</translation>
    </message>
    <message>
        <source>Rule limit</source>
        <translation>Grenzwert der Regel</translation>
    </message>
    <message>
        <source>Rule deadband</source>
        <translation>Totband der Regel</translation>
    </message>
    <message>
        <source>Rule on-delay in seconds</source>
        <translation>Einschaltverzögerung der Regel in Sekunden</translation>
    </message>
    <message>
        <source>Rule off-delay in seconds</source>
        <translation>Ausschaltverzögerung der Regel in Sekunden</translation>
    </message>
    <message>
        <source>Rule priority</source>
        <translation>Priorität der Regel</translation>
    </message>
    <message>
        <source>Rule text</source>
        <translation>Text der Regel</translation>
    </message>
    <message>
        <source>Channel / pin / relay</source>
        <translation>Kanal / Pin / Relais</translation>
    </message>
    <message>
        <source>On-delay (s)</source>
        <translation>Einschaltverzögerung (s)</translation>
    </message>
    <message>
        <source>Off-delay (s)</source>
        <translation>Ausschaltverzögerung (s)</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add the rule</source>
        <translation>Die Regel hinzufügen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Save the selected rule</source>
        <translation>Die gewählte Regel speichern</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected rule</source>
        <translation>Die gewählte Regel entfernen</translation>
    </message>
    <message>
        <source>(all)</source>
        <translation>(alle)</translation>
    </message>
    <message>
        <source>Select an alarm in the list first.</source>
        <translation>Bitte zuerst einen Alarm in der Liste wählen.</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a%3 number.</source>
        <translation>%1: „%2“ ist keine%3 Zahl.</translation>
    </message>
    <message>
        <source> whole</source>
        <translation> ganze</translation>
    </message>
    <message>
        <source>Select the rule to save in the list first, or use Add.</source>
        <translation>Bitte zuerst die zu speichernde Regel in der Liste wählen oder Hinzufügen verwenden.</translation>
    </message>
    <message>
        <source>The rule was not saved. </source>
        <translation>Die Regel wurde nicht gespeichert. </translation>
    </message>
    <message>
        <source>The rule could not be written to the history file; check that the file is writable.</source>
        <translation>Die Regel konnte nicht in die Verlaufsdatei geschrieben werden; bitte prüfen, ob die Datei beschreibbar ist.</translation>
    </message>
    <message>
        <source>Alarm sounds</source>
        <translation>Alarmtöne</translation>
    </message>
    <message>
        <source>Alarm flood</source>
        <translation>Alarmflut</translation>
    </message>
    <message>
        <source>At most %1; the alarm then comes back</source>
        <translation>Höchstens %1; danach kommt der Alarm zurück</translation>
    </message>
    <message>
        <source>Reason for shelving</source>
        <translation>Grund für das Zurückstellen</translation>
    </message>
    <message>
        <source>Reason (required)</source>
        <translation>Grund (erforderlich)</translation>
    </message>
    <message>
        <source>Unshelve</source>
        <translation>Zurückholen</translation>
    </message>
    <message>
        <source>Bring the selected shelved alarm back, acknowledged</source>
        <translation>Den gewählten zurückgestellten Alarm quittiert zurückholen</translation>
    </message>
    <message>
        <source>Alarm flood: 10 or more alarms within 10 minutes. Notifications are sent as summaries until it ends; deal with the first and highest alarms first.</source>
        <translation>Alarmflut: 10 oder mehr Alarme in 10 Minuten. Benachrichtigungen gehen als Zusammenfassungen hinaus, bis sie endet; zuerst die ersten und höchsten Alarme bearbeiten.</translation>
    </message>
    <message>
        <source>The alarm was not shelved. </source>
        <translation>Der Alarm wurde nicht zurückgestellt. </translation>
    </message>
    <message>
        <source>Select a shelved alarm in the list first.</source>
        <translation>Bitte zuerst einen zurückgestellten Alarm in der Liste wählen.</translation>
    </message>
    <message>
        <source>%1 (in maintenance)</source>
        <translation>%1 (in Wartung)</translation>
    </message>
</context>
<context>
    <name>kestavo::alarmwindows::MaintenancePanel</name>
    <message>
        <source>Stations in maintenance</source>
        <translation>Stationen in Wartung</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Until</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>By</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Grund</translation>
    </message>
    <message>
        <source>Station to take out of service</source>
        <translation>Station, die außer Betrieb geht</translation>
    </message>
    <message>
        <source>Maintenance hours</source>
        <translation>Wartungsstunden</translation>
    </message>
    <message>
        <source> h</source>
        <translation> h</translation>
    </message>
    <message>
        <source>Reason for the maintenance</source>
        <translation>Grund der Wartung</translation>
    </message>
    <message>
        <source>Reason (required)</source>
        <translation>Grund (erforderlich)</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Beginnen</translation>
    </message>
    <message>
        <source>Take the station out of service</source>
        <translation>Die Station außer Betrieb nehmen</translation>
    </message>
    <message>
        <source>End now</source>
        <translation>Jetzt beenden</translation>
    </message>
    <message>
        <source>Bring the selected station back into service</source>
        <translation>Die gewählte Station wieder in Betrieb nehmen</translation>
    </message>
    <message>
        <source>For</source>
        <translation>Für</translation>
    </message>
    <message>
        <source>tag %1</source>
        <translation>Markierung %1</translation>
    </message>
    <message>
        <source>Kestavo</source>
        <translation>Kestavo</translation>
    </message>
    <message>
        <source>Maintenance was not started. Station: &quot;%1&quot; is not an IPv4 address (four numbers 0-255, no leading zeros).</source>
        <translation>Die Wartung wurde nicht begonnen. Station: „%1“ ist keine IPv4-Adresse (vier Zahlen 0-255, ohne führende Nullen).</translation>
    </message>
    <message>
        <source>Maintenance was not started. Reason: say why the station is out of service.</source>
        <translation>Die Wartung wurde nicht begonnen. Grund: Bitte angeben, warum die Station außer Betrieb ist.</translation>
    </message>
    <message>
        <source>Maintenance is kept in the history file, and this console runs without one.</source>
        <translation>Wartungen stehen in der Verlaufsdatei, und diese Konsole läuft ohne eine.</translation>
    </message>
    <message>
        <source>Maintenance could not be written to &quot;%1&quot;; check that the file is writable.</source>
        <translation>Die Wartung ließ sich nicht in „%1“ schreiben; bitte prüfen, ob die Datei beschreibbar ist.</translation>
    </message>
    <message>
        <source>Select the station to bring back in the list first.</source>
        <translation>Bitte zuerst die Station in der Liste wählen, die zurückkommen soll.</translation>
    </message>
    <message>
        <source>Tag to take out of service</source>
        <translation>Markierung, deren Stationen außer Betrieb gehen</translation>
    </message>
    <message>
        <source>or every station with this tag</source>
        <translation>oder jede Station mit dieser Markierung</translation>
    </message>
    <message>
        <source>or tag</source>
        <translation>oder Markierung</translation>
    </message>
    <message>
        <source>Maintenance was not started. Give a station or a tag, not both.</source>
        <translation>Die Wartung wurde nicht begonnen. Geben Sie eine Station oder eine Markierung an, nicht beides.</translation>
    </message>
    <message>
        <source>Maintenance was not started. Tag: %1.</source>
        <translation>Die Wartung wurde nicht begonnen. Markierung: %1.</translation>
    </message>
</context>
<context>
    <name>kestavo::alarmwindows::ReportPanel</name>
    <message>
        <source>Report period</source>
        <translation>Berichtszeitraum</translation>
    </message>
    <message>
        <source>Last 24 hours</source>
        <translation>Letzte 24 Stunden</translation>
    </message>
    <message>
        <source>Last 7 days</source>
        <translation>Letzte 7 Tage</translation>
    </message>
    <message>
        <source>Last 30 days</source>
        <translation>Letzte 30 Tage</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Compute the report again</source>
        <translation>Den Bericht neu berechnen</translation>
    </message>
    <message>
        <source>Alarm report</source>
        <translation>Alarmbericht</translation>
    </message>
    <message>
        <source>Period</source>
        <translation>Zeitraum</translation>
    </message>
</context>
<context>
    <name>kestavo::alarmwindows::RoutesPanel</name>
    <message>
        <source>Notification routes</source>
        <translation>Benachrichtigungswege</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Takes</source>
        <translation>Nimmt</translation>
    </message>
    <message>
        <source>Notification deliveries</source>
        <translation>Zustellungen</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Route</source>
        <translation>Weg</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Was</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Attempt</source>
        <translation>Versuch</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>Einzelheit</translation>
    </message>
    <message>
        <source>Deliveries, newest first:</source>
        <translation>Zustellungen, neueste zuerst:</translation>
    </message>
    <message>
        <source>Route kind</source>
        <translation>Art des Wegs</translation>
    </message>
    <message>
        <source>Webhook (HTTP POST)</source>
        <translation>Webhook (HTTP POST)</translation>
    </message>
    <message>
        <source>Email (SMTP)</source>
        <translation>E-Mail (SMTP)</translation>
    </message>
    <message>
        <source>Route URL or mail address</source>
        <translation>URL oder Mailadresse des Wegs</translation>
    </message>
    <message>
        <source>Webhook body</source>
        <translation>Inhalt des Webhooks</translation>
    </message>
    <message>
        <source>Webhook header file</source>
        <translation>Header-Datei des Webhooks</translation>
    </message>
    <message>
        <source>file of &quot;Name: value&quot; lines (a token)</source>
        <translation>Datei mit Zeilen „Name: Wert“ (ein Token)</translation>
    </message>
    <message>
        <source>SMTP server</source>
        <translation>SMTP-Server</translation>
    </message>
    <message>
        <source>Mail from</source>
        <translation>Absender</translation>
    </message>
    <message>
        <source>SMTP user</source>
        <translation>SMTP-Benutzer</translation>
    </message>
    <message>
        <source>SMTP password file</source>
        <translation>SMTP-Passwortdatei</translation>
    </message>
    <message>
        <source>high</source>
        <translation>hoch</translation>
    </message>
    <message>
        <source>Send high-priority alarms</source>
        <translation>Alarme hoher Priorität senden</translation>
    </message>
    <message>
        <source>medium</source>
        <translation>mittel</translation>
    </message>
    <message>
        <source>Send medium-priority alarms</source>
        <translation>Alarme mittlerer Priorität senden</translation>
    </message>
    <message>
        <source>low</source>
        <translation>niedrig</translation>
    </message>
    <message>
        <source>Send low-priority alarms</source>
        <translation>Alarme niedriger Priorität senden</translation>
    </message>
    <message>
        <source>Route station</source>
        <translation>Station des Wegs</translation>
    </message>
    <message>
        <source>empty: every station</source>
        <translation>leer: jede Station</translation>
    </message>
    <message>
        <source>Cooldown in seconds</source>
        <translation>Sperrzeit in Sekunden</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Most messages per hour</source>
        <translation>Höchstens Nachrichten pro Stunde</translation>
    </message>
    <message>
        <source> an hour</source>
        <translation> pro Stunde</translation>
    </message>
    <message>
        <source>Repeat minutes</source>
        <translation>Wiederholung in Minuten</translation>
    </message>
    <message>
        <source> min</source>
        <translation> min</translation>
    </message>
    <message>
        <source>cleared</source>
        <translation>gegangen</translation>
    </message>
    <message>
        <source>Send cleared messages</source>
        <translation>Nachrichten über gegangene Alarme senden</translation>
    </message>
    <message>
        <source>acknowledged</source>
        <translation>quittiert</translation>
    </message>
    <message>
        <source>Send acknowledged messages</source>
        <translation>Nachrichten über quittierte Alarme senden</translation>
    </message>
    <message>
        <source>URL or mail to</source>
        <translation>URL oder Mail an</translation>
    </message>
    <message>
        <source>Body</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>Header file</source>
        <translation>Header-Datei</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Password file</source>
        <translation>Passwortdatei</translation>
    </message>
    <message>
        <source>Priorities</source>
        <translation>Prioritäten</translation>
    </message>
    <message>
        <source>Cooldown</source>
        <translation>Sperrzeit</translation>
    </message>
    <message>
        <source>At most</source>
        <translation>Höchstens</translation>
    </message>
    <message>
        <source>Repeat high alarms every</source>
        <translation>Hohe Alarme wiederholen alle</translation>
    </message>
    <message>
        <source>Also send</source>
        <translation>Auch senden</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add the route</source>
        <translation>Den Weg hinzufügen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Save the selected route</source>
        <translation>Den gewählten Weg speichern</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected route</source>
        <translation>Den gewählten Weg entfernen</translation>
    </message>
    <message>
        <source>Send test</source>
        <translation>Test senden</translation>
    </message>
    <message>
        <source>Send a test message on the selected route</source>
        <translation>Eine Testnachricht über den gewählten Weg senden</translation>
    </message>
    <message>
        <source>Test outcome</source>
        <translation>Testergebnis</translation>
    </message>
    <message>
        <source>oncall@example.net</source>
        <translation>oncall@example.net</translation>
    </message>
    <message>
        <source>https://push.example.net/topic</source>
        <translation>https://push.example.net/topic</translation>
    </message>
    <message>
        <source>every priority</source>
        <translation>jede Priorität</translation>
    </message>
    <message>
        <source>every station</source>
        <translation>jede Station</translation>
    </message>
    <message>
        <source>station %1</source>
        <translation>Station %1</translation>
    </message>
    <message>
        <source>cooldown %1 s</source>
        <translation>Sperrzeit %1 s</translation>
    </message>
    <message>
        <source>at most %1 an hour</source>
        <translation>höchstens %1 pro Stunde</translation>
    </message>
    <message>
        <source>repeat every %1 min</source>
        <translation>Wiederholung alle %1 min</translation>
    </message>
    <message>
        <source>URL: give the address the webhook posts to.</source>
        <translation>URL: Bitte die Adresse angeben, an die der Webhook sendet.</translation>
    </message>
    <message>
        <source>To: give the mail address messages go to.</source>
        <translation>An: Bitte die Mailadresse angeben, an die Nachrichten gehen.</translation>
    </message>
    <message>
        <source>Station: &quot;%1&quot; is not an IPv4 address (four numbers 0-255, no leading zeros).</source>
        <translation>Station: „%1“ ist keine IPv4-Adresse (vier Zahlen 0-255, ohne führende Nullen).</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; cannot be read; check the name and its permissions.</source>
        <translation>Die Datei „%1“ lässt sich nicht lesen; bitte Namen und Rechte prüfen.</translation>
    </message>
    <message>
        <source>Kestavo</source>
        <translation>Kestavo</translation>
    </message>
    <message>
        <source>Select the route to save in the list first, or use Add.</source>
        <translation>Bitte zuerst den zu speichernden Weg in der Liste wählen oder „Hinzufügen“ verwenden.</translation>
    </message>
    <message>
        <source>Routes are kept in the history file, and this console runs without one.</source>
        <translation>Wege stehen in der Verlaufsdatei, und diese Konsole läuft ohne eine.</translation>
    </message>
    <message>
        <source>The route was not saved. </source>
        <translation>Der Weg wurde nicht gespeichert. </translation>
    </message>
    <message>
        <source>The route could not be written to &quot;%1&quot;; check that the file is writable.</source>
        <translation>Der Weg ließ sich nicht in „%1“ schreiben; bitte prüfen, ob die Datei beschreibbar ist.</translation>
    </message>
    <message>
        <source>Select the route to remove in the list first.</source>
        <translation>Bitte zuerst den zu entfernenden Weg in der Liste wählen.</translation>
    </message>
    <message>
        <source>Remove route %1 (%2)? Its alarms will no longer be sent there.</source>
        <translation>Weg %1 (%2) entfernen? Seine Alarme werden dann nicht mehr dorthin gesendet.</translation>
    </message>
    <message>
        <source>Route %1 could not be removed from &quot;%2&quot;; check that the file is writable.</source>
        <translation>Weg %1 ließ sich nicht aus „%2“ entfernen; bitte prüfen, ob die Datei beschreibbar ist.</translation>
    </message>
    <message>
        <source>Select the route to test in the list first.</source>
        <translation>Bitte zuerst den zu testenden Weg in der Liste wählen.</translation>
    </message>
    <message>
        <source>Sending a test message on route %1…</source>
        <translation>Testnachricht über Weg %1 wird gesendet…</translation>
    </message>
    <message>
        <source>Route %1: the test message was sent (%2).</source>
        <translation>Weg %1: Die Testnachricht wurde gesendet (%2).</translation>
    </message>
    <message>
        <source>Route %1: the test message failed: %2. Check the address and that the server is reachable.</source>
        <translation>Weg %1: Die Testnachricht schlug fehl: %2. Bitte die Adresse prüfen und ob der Server erreichbar ist.</translation>
    </message>
    <message>
        <source>Route tag</source>
        <translation>Markierung der Route</translation>
    </message>
    <message>
        <source>or every station with this tag (north takes in north/pumps)</source>
        <translation>oder jede Station mit dieser Markierung (north umfasst north/pumps)</translation>
    </message>
    <message>
        <source>Tag</source>
        <translation>Markierung</translation>
    </message>
    <message>
        <source>tag %1</source>
        <translation>Markierung %1</translation>
    </message>
</context>
<context>
    <name>kestavo::app::Application</name>
    <message>
        <source>Kestavo: console for KSV units</source>
        <translation>Kestavo: Konsole für KSV-Geräte</translation>
    </message>
    <message>
        <source>UDP port of the units (default 7).</source>
        <translation>UDP-Port der Geräte (Vorgabe 7).</translation>
    </message>
    <message>
        <source>Start a simulated unit on loopback and connect to it.</source>
        <translation>Ein simuliertes Gerät auf Loopback starten und sich damit verbinden.</translation>
    </message>
    <message>
        <source>Start the session with the default station at once.</source>
        <translation>Die Sitzung sofort mit der Standardstation beginnen.</translation>
    </message>
    <message>
        <source> The station list stays empty until this is fixed.</source>
        <translation> Die Stationsliste bleibt leer, bis das behoben ist.</translation>
    </message>
    <message>
        <source>Demo unit (simulated)</source>
        <translation>Vorführgerät (simuliert)</translation>
    </message>
    <message>
        <source>Battery bank  (0 - 30 - 60)</source>
        <translation>Batteriebank  (0 - 30 - 60)</translation>
    </message>
    <message>
        <source>Solar input  (0 - 30 - 60)</source>
        <translation>Solareingang  (0 - 30 - 60)</translation>
    </message>
    <message>
        <source>Pump supply  (0 - 30)</source>
        <translation>Pumpenversorgung  (0 - 30)</translation>
    </message>
    <message>
        <source>Heater supply  (0 - 30)</source>
        <translation>Heizungsversorgung  (0 - 30)</translation>
    </message>
    <message>
        <source>Radio  (0 - 30)</source>
        <translation>Funk  (0 - 30)</translation>
    </message>
    <message>
        <source>Tank level  (0 - 5)</source>
        <translation>Tankfüllstand  (0 - 5)</translation>
    </message>
    <message>
        <source>Flow sensor  (0 - 5)</source>
        <translation>Durchflusssensor  (0 - 5)</translation>
    </message>
    <message>
        <source>Pressure  (0 - 5)</source>
        <translation>Druck  (0 - 5)</translation>
    </message>
    <message>
        <source>With --demo: N more simulated units (1 to 1000) on 127.0.2.1 and up, for the Fleet window.</source>
        <translation>Mit --demo: N weitere simulierte Geräte (1 bis 1000) ab 127.0.2.1, für das Flottenfenster.</translation>
    </message>
    <message>
        <source>History recording</source>
        <translation>Verlaufsaufzeichnung</translation>
    </message>
    <message>
        <source> Readings are not recorded.</source>
        <translation> Messwerte werden nicht aufgezeichnet.</translation>
    </message>
    <message>
        <source> Alarms and the audit log stay off until this is fixed.</source>
        <translation> Alarme und Prüfprotokoll bleiben aus, bis das behoben ist.</translation>
    </message>
    <message>
        <source>Alarm sounds</source>
        <translation>Alarmtöne</translation>
    </message>
    <message>
        <source>Audit log</source>
        <translation>Prüfprotokoll</translation>
    </message>
    <message>
        <source>A team&apos;s store, postgresql://USER@HOST[:PORT]/DBNAME (remembered for the next start), or &quot;none&quot; to forget the remembered one.</source>
        <translation>Der Speicher eines Teams, postgresql://USER@HOST[:PORT]/DBNAME (für den nächsten Start gemerkt), oder &quot;none&quot;, um den gemerkten zu vergessen.</translation>
    </message>
</context>
<context>
    <name>kestavo::app::ConsoleTeam</name>
    <message>
        <source>Store connection</source>
        <translation>Verbindung zum Speicher</translation>
    </message>
    <message>
        <source>Store unreachable since %1</source>
        <translation>Speicher nicht erreichbar seit %1</translation>
    </message>
</context>
<context>
    <name>kestavo::automation</name>
    <message>
        <source>Relay Script for a 0</source>
        <translation>Relais-Skript für eine 0</translation>
    </message>
    <message>
        <source>Steps of the Relay Script for a 0</source>
        <translation>Schritte des Relais-Skripts für eine 0</translation>
    </message>
    <message>
        <source>Relay Script for a 1</source>
        <translation>Relais-Skript für eine 1</translation>
    </message>
    <message>
        <source>Steps of the Relay Script for a 1</source>
        <translation>Schritte des Relais-Skripts für eine 1</translation>
    </message>
    <message>
        <source>I/O box number</source>
        <translation>Nummer des E/A-Pins</translation>
    </message>
    <message>
        <source>Run this Relay Script when the I/O pin is a &quot;0&quot;:</source>
        <translation>Dieses Relais-Skript ausführen, wenn der E/A-Pin „0“ ist:</translation>
    </message>
    <message>
        <source>Run this Relay Script when the I/O pin is a &quot;1&quot;:</source>
        <translation>Dieses Relais-Skript ausführen, wenn der E/A-Pin „1“ ist:</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Upper threshold</source>
        <translation>Obere Schwelle</translation>
    </message>
    <message>
        <source>Upper threshold °C</source>
        <translation>Obere Schwelle °C</translation>
    </message>
    <message>
        <source>Upper threshold °F</source>
        <translation>Obere Schwelle °F</translation>
    </message>
    <message>
        <source>Relay Script above the upper threshold</source>
        <translation>Relais-Skript über der oberen Schwelle</translation>
    </message>
    <message>
        <source>Steps of the Relay Script above the upper threshold</source>
        <translation>Schritte des Relais-Skripts über der oberen Schwelle</translation>
    </message>
    <message>
        <source>Lower threshold</source>
        <translation>Untere Schwelle</translation>
    </message>
    <message>
        <source>Lower threshold °C</source>
        <translation>Untere Schwelle °C</translation>
    </message>
    <message>
        <source>Lower threshold °F</source>
        <translation>Untere Schwelle °F</translation>
    </message>
    <message>
        <source>Relay Script below the lower threshold</source>
        <translation>Relais-Skript unter der unteren Schwelle</translation>
    </message>
    <message>
        <source>Steps of the Relay Script below the lower threshold</source>
        <translation>Schritte des Relais-Skripts unter der unteren Schwelle</translation>
    </message>
    <message>
        <source>Relay Script steps</source>
        <translation>Schritte des Relais-Skripts</translation>
    </message>
    <message>
        <source>Chosen Relay Script</source>
        <translation>Gewähltes Relais-Skript</translation>
    </message>
</context>
<context>
    <name>kestavo::automation::TimerDialog</name>
    <message>
        <source>The %1 box holds &quot;%2&quot;, which is no delay. Choose a value from its list or type a whole number from 0 to %3.</source>
        <translation>Das Feld %1 enthält „%2“, und das ist keine Verzögerung. Bitte einen Wert aus seiner Liste wählen oder eine ganze Zahl von 0 bis %3 eingeben.</translation>
    </message>
</context>
<context>
    <name>kestavo::core</name>
    <message>
        <source>Kestavo - KSV unit console</source>
        <translation>Kestavo – Konsole für KSV-Geräte</translation>
    </message>
    <message>
        <source>The unit at %1 answers short status reports (%2 bytes): its firmware may need an update. What the reports carry is shown.</source>
        <translation>Das Gerät unter %1 sendet kurze Statusberichte (%2 Bytes): seine Firmware braucht vielleicht ein Update. Angezeigt wird, was die Berichte enthalten.</translation>
    </message>
    <message>
        <source>As of %1 (%2)</source>
        <translation>Stand %1 (%2)</translation>
    </message>
    <message>
        <source>%1: %2, %3</source>
        <translation>%1: %2, %3</translation>
    </message>
</context>
<context>
    <name>kestavo::core::AddIpDialog</name>
    <message>
        <source>%1 is already in the station list as &quot;%2&quot;. Update its password and description instead?</source>
        <translation>%1 steht bereits als „%2“ in der Stationsliste. Stattdessen Kennwort und Beschreibung aktualisieren?</translation>
    </message>
</context>
<context>
    <name>kestavo::core::ConsoleDialog</name>
    <message>
        <source>The session with the unit has ended, so nothing was sent. Press &quot;Start&quot; in the main window and try again.</source>
        <translation>Die Sitzung mit dem Gerät ist beendet, daher wurde nichts gesendet. Bitte im Hauptfenster „Start“ drücken und es erneut versuchen.</translation>
    </message>
    <message>
        <source>Waiting for the first report of the unit at %1</source>
        <translation>Warten auf den ersten Bericht des Geräts unter %1</translation>
    </message>
</context>
<context>
    <name>kestavo::core::MainForm</name>
    <message>
        <source>&amp;Monitor</source>
        <translation>&amp;Überwachung</translation>
    </message>
    <message>
        <source>&amp;Trends</source>
        <translation>&amp;Verläufe</translation>
    </message>
    <message>
        <source>&amp;Fleet</source>
        <translation>&amp;Flotte</translation>
    </message>
    <message>
        <source>&amp;Alarms</source>
        <translation>&amp;Alarme</translation>
    </message>
    <message>
        <source>A&amp;udit log</source>
        <translation>&amp;Prüfprotokoll</translation>
    </message>
    <message>
        <source>&amp;Back up...</source>
        <translation>&amp;Sichern...</translation>
    </message>
    <message>
        <source>&amp;Compare...</source>
        <translation>Ver&amp;gleichen...</translation>
    </message>
    <message>
        <source>&amp;Restore...</source>
        <translation>&amp;Wiederherstellen...</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>MAC-Adresse</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>Stationsname</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>Temperatur</translation>
    </message>
    <message>
        <source>MAC:</source>
        <translation>MAC:</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Temp:</source>
        <translation>Temp.:</translation>
    </message>
    <message>
        <source>I/O pin %1</source>
        <translation>E/A-Pin %1</translation>
    </message>
    <message>
        <source>Relay timer</source>
        <translation>Relais-Zeitgeber</translation>
    </message>
    <message>
        <source>Timer state</source>
        <translation>Zustand des Zeitgebers</translation>
    </message>
    <message>
        <source>Relay daughter boards</source>
        <translation>Relais-Tochterplatinen</translation>
    </message>
    <message>
        <source>&amp;Console</source>
        <translation>&amp;Konsole</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>&amp;Stop and show</source>
        <translation>&amp;Anhalten und anzeigen</translation>
    </message>
    <message>
        <source>S&amp;kins</source>
        <translation>&amp;Designs</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(keiner)</translation>
    </message>
    <message>
        <source>&amp;Schedules</source>
        <translation>&amp;Zeitpläne</translation>
    </message>
    <message>
        <source>Unit, as of %1</source>
        <translation>Gerät, Stand %1</translation>
    </message>
    <message>
        <source>R&amp;ollout...</source>
        <translation>&amp;Verteilen...</translation>
    </message>
</context>
<context>
    <name>kestavo::core::ReadoutPanel</name>
    <message>
        <source>Voltage inputs</source>
        <translation>Spannungseingänge</translation>
    </message>
    <message>
        <source>Voltage %1 gauge</source>
        <translation>Anzeige der Spannung %1</translation>
    </message>
    <message>
        <source>%1 s old</source>
        <translation>%1 s alt</translation>
    </message>
    <message>
        <source>%1 min old</source>
        <translation>%1 min alt</translation>
    </message>
    <message>
        <source>Voltage inputs, as of %1</source>
        <translation>Spannungseingänge, Stand %1</translation>
    </message>
    <message>
        <source>As of %1 (%2)</source>
        <translation>Stand %1 (%2)</translation>
    </message>
    <message>
        <source>%1: %2 V, %3</source>
        <translation>%1: %2 V, %3</translation>
    </message>
    <message>
        <source>%1 gauge</source>
        <translation>%1, Anzeige</translation>
    </message>
</context>
<context>
    <name>kestavo::core::RelayPanel</name>
    <message>
        <source>Power relays</source>
        <translation>Leistungsrelais</translation>
    </message>
    <message>
        <source>Relay %1 state</source>
        <translation>Zustand von Relais %1</translation>
    </message>
    <message>
        <source>Power relays, as of %1</source>
        <translation>Leistungsrelais, Stand %1</translation>
    </message>
</context>
<context>
    <name>kestavo::core::Session</name>
    <message>
        <source>The station address &quot;%1&quot; is not an IP number. Choose or add a station with a numeric IP address.</source>
        <translation>Die Stationsadresse „%1“ ist keine IP-Nummer. Bitte eine Station mit numerischer IP-Adresse wählen oder hinzufügen.</translation>
    </message>
    <message>
        <source>No socket for the session with %1 could be opened: %2. Check the network settings of this computer and press &quot;Start&quot; again.</source>
        <translation>Für die Sitzung mit %1 ließ sich kein Socket öffnen: %2. Bitte die Netzwerkeinstellungen dieses Rechners prüfen und erneut „Start“ drücken.</translation>
    </message>
    <message>
        <source>No station is chosen. Add one with &quot;Add IP&quot;, choose it in the station box and press &quot;Start&quot; again.</source>
        <translation>Es ist keine Station gewählt. Bitte mit „Add IP“ eine hinzufügen, sie im Stationsfeld wählen und erneut „Start“ drücken.</translation>
    </message>
</context>
<context>
    <name>kestavo::core::StationBar</name>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>Station entry</source>
        <translation>Stationseingabe</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>Aktivität</translation>
    </message>
    <message>
        <source>No stations yet: press &quot;Add IP&quot; to add the first one</source>
        <translation>Noch keine Stationen: mit „Add IP“ die erste hinzufügen</translation>
    </message>
    <message>
        <source>Stop the session with %1 and start one with %2?</source>
        <translation>Die Sitzung mit %1 beenden und eine mit %2 beginnen?</translation>
    </message>
    <message>
        <source>Kestavo</source>
        <translation>Kestavo</translation>
    </message>
</context>
<context>
    <name>kestavo::daughterboards</name>
    <message>
        <source>Scripts</source>
        <translation>Skripte</translation>
    </message>
    <message>
        <source>Compose, upload and run daughter-board scripts</source>
        <translation>Skripte für Tochterplatinen erstellen, hochladen und ausführen</translation>
    </message>
    <message>
        <source>Board</source>
        <translation>Platine</translation>
    </message>
    <message>
        <source>Board commands</source>
        <translation>Platinenbefehle</translation>
    </message>
    <message>
        <source>Script steps</source>
        <translation>Skriptschritte</translation>
    </message>
    <message>
        <source>Script slots</source>
        <translation>Skriptplätze</translation>
    </message>
    <message>
        <source>Click a command to add it to the script</source>
        <translation>Einen Befehl anklicken, um ihn dem Skript hinzuzufügen</translation>
    </message>
    <message>
        <source>Click a step to remove it</source>
        <translation>Einen Schritt anklicken, um ihn zu entfernen</translation>
    </message>
    <message>
        <source>Script description</source>
        <translation>Beschreibung des Skripts</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Execute confirmation</source>
        <translation>Ausführung bestätigen</translation>
    </message>
    <message>
        <source>Slots</source>
        <translation>Plätze</translation>
    </message>
</context>
<context>
    <name>kestavo::daughterboards::BoardDialog</name>
    <message>
        <source> delay seconds</source>
        <translation> – Verzögerung in Sekunden</translation>
    </message>
</context>
<context>
    <name>kestavo::daughterboards::BoardScriptingDialog</name>
    <message>
        <source>The description &quot;%1&quot; holds a character the unit cannot store (it takes Latin-1 letters, digits and signs only). Change the description and press OK again.</source>
        <translation>Die Beschreibung „%1“ enthält ein Zeichen, das das Gerät nicht speichern kann (es nimmt nur Latin-1-Buchstaben, Ziffern und Zeichen). Bitte die Beschreibung ändern und erneut OK drücken.</translation>
    </message>
    <message>
        <source>The step &quot;%1&quot; is not one the unit knows. Remove it from the script and press OK again.</source>
        <translation>Den Schritt „%1“ kennt das Gerät nicht. Bitte ihn aus dem Skript entfernen und erneut OK drücken.</translation>
    </message>
</context>
<context>
    <name>kestavo::fleetui</name>
    <message>
        <source>Fleet</source>
        <translation>Flotte</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Filter by description, address or state</source>
        <translation>Nach Beschreibung, Adresse oder Zustand filtern</translation>
    </message>
    <message>
        <source>&amp;Problems first</source>
        <translation>&amp;Probleme zuerst</translation>
    </message>
    <message>
        <source>Problems first</source>
        <translation>Probleme zuerst</translation>
    </message>
    <message>
        <source>Watch all stations</source>
        <translation>Alle Stationen beobachten</translation>
    </message>
    <message>
        <source>Keep polling every station while this window is closed (each poll costs traffic).</source>
        <translation>Jede Station weiter abfragen, während dieses Fenster geschlossen ist (jede Abfrage kostet Datenverkehr).</translation>
    </message>
    <message>
        <source>Stations</source>
        <translation>Stationen</translation>
    </message>
    <message>
        <source>Fleet summary</source>
        <translation>Übersicht der Flotte</translation>
    </message>
    <message>
        <source>Group by</source>
        <translation>Gruppieren nach</translation>
    </message>
    <message>
        <source>Group by tag</source>
        <translation>Nach Markierung gruppieren</translation>
    </message>
    <message>
        <source>Group by state</source>
        <translation>Nach Zustand gruppieren</translation>
    </message>
    <message>
        <source>No groups</source>
        <translation>Keine Gruppen</translation>
    </message>
    <message>
        <source>Tag filter</source>
        <translation>Markierungsfilter</translation>
    </message>
    <message>
        <source>All tags</source>
        <translation>Alle Markierungen</translation>
    </message>
    <message>
        <source>Relay</source>
        <translation>Relais</translation>
    </message>
    <message>
        <source>Relay %1</source>
        <translation>Relais %1</translation>
    </message>
    <message>
        <source>O&amp;N</source>
        <translation>E&amp;IN</translation>
    </message>
    <message>
        <source>Switch the relay on</source>
        <translation>Das Relais einschalten</translation>
    </message>
    <message>
        <source>O&amp;FF</source>
        <translation>A&amp;US</translation>
    </message>
    <message>
        <source>Switch the relay off</source>
        <translation>Das Relais ausschalten</translation>
    </message>
    <message>
        <source>P&amp;ulse</source>
        <translation>&amp;Impuls</translation>
    </message>
    <message>
        <source>Pulse the relay</source>
        <translation>Das Relais kurz aus- und wieder einschalten</translation>
    </message>
    <message>
        <source>Switch the relay off and back on after the seconds given.</source>
        <translation>Das Relais aus- und nach den angegebenen Sekunden wieder einschalten.</translation>
    </message>
    <message>
        <source>Pulse seconds</source>
        <translation>Impulsdauer in Sekunden</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Relay script slot</source>
        <translation>Platz des Relaisskripts</translation>
    </message>
    <message>
        <source>Slot </source>
        <translation>Platz </translation>
    </message>
    <message>
        <source>Run &amp;script</source>
        <translation>&amp;Skript ausführen</translation>
    </message>
    <message>
        <source>Run the relay script</source>
        <translation>Das Relaisskript ausführen</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>S&amp;topp</translation>
    </message>
    <message>
        <source>Stop the bulk command</source>
        <translation>Den Sammelbefehl anhalten</translation>
    </message>
    <message>
        <source>Start no further station; those being sent to finish.</source>
        <translation>Keine weitere Station beginnen; die gerade bearbeiteten werden fertig.</translation>
    </message>
    <message>
        <source>Bulk command progress</source>
        <translation>Fortschritt des Sammelbefehls</translation>
    </message>
    <message>
        <source>Selected stations or groups:</source>
        <translation>Ausgewählte Stationen oder Gruppen:</translation>
    </message>
    <message>
        <source>state %1</source>
        <translation>Zustand %1</translation>
    </message>
    <message>
        <source>no tag</source>
        <translation>ohne Markierung</translation>
    </message>
    <message>
        <source>tag %1</source>
        <translation>Markierung %1</translation>
    </message>
</context>
<context>
    <name>kestavo::fleetui::FleetBulkCommand</name>
    <message>
        <source>Switch relay %1 ON</source>
        <translation>Relais %1 EIN schalten</translation>
    </message>
    <message>
        <source>Switch relay %1 OFF</source>
        <translation>Relais %1 AUS schalten</translation>
    </message>
    <message>
        <source>Switch relay %1 off and back ON after %2 s</source>
        <translation>Relais %1 aus- und nach %2 s wieder EIN schalten</translation>
    </message>
    <message>
        <source>Run the relay script in slot %1</source>
        <translation>Das Relaisskript auf Platz %1 ausführen</translation>
    </message>
    <message>
        <source>%1 at 1 selected station?</source>
        <translation>%1 an 1 ausgewählten Station?</translation>
    </message>
    <message>
        <source>%1 at %2 selected stations?</source>
        <translation>%1 an %2 ausgewählten Stationen?</translation>
    </message>
    <message>
        <source>%1 at 1 station (%2)?</source>
        <translation>%1 an 1 Station (%2)?</translation>
    </message>
    <message>
        <source>%1 at %2 stations (%3)?</source>
        <translation>%1 an %2 Stationen (%3)?</translation>
    </message>
    <message>
        <source>not sent: %1</source>
        <translation>nicht gesendet: %1</translation>
    </message>
    <message>
        <source>not sent: no password is stored for this station</source>
        <translation>nicht gesendet: für diese Station ist kein Kennwort gespeichert</translation>
    </message>
    <message>
        <source>The station cannot be sent to (see its row); nothing was sent.</source>
        <translation>An die Station kann nicht gesendet werden (siehe ihre Zeile); nichts wurde gesendet.</translation>
    </message>
    <message>
        <source>None of the %1 stations can be sent to (see their rows); nothing was sent.</source>
        <translation>An keine der %1 Stationen kann gesendet werden (siehe ihre Zeilen); nichts wurde gesendet.</translation>
    </message>
    <message>
        <source>
1 more station is left out: it has no password stored or no valid address.</source>
        <translation>
1 weitere Station bleibt aus: für sie ist kein Kennwort oder keine gültige Adresse gespeichert.</translation>
    </message>
    <message>
        <source>
%1 more stations are left out: they have no password stored or no valid address.</source>
        <translation>
%1 weitere Stationen bleiben aus: für sie ist kein Kennwort oder keine gültige Adresse gespeichert.</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>wartet</translation>
    </message>
    <message>
        <source>sending…</source>
        <translation>wird gesendet…</translation>
    </message>
    <message>
        <source>not started (stopped)</source>
        <translation>nicht begonnen (angehalten)</translation>
    </message>
    <message>
        <source>%1 of %2 stations: %3 done, %4 failed</source>
        <translation>%1 von %2 Stationen: %3 erledigt, %4 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, %1 not started</source>
        <translation>, %1 nicht begonnen</translation>
    </message>
</context>
<context>
    <name>kestavo::fleetui::FleetGroupModel</name>
    <message>
        <source>(no tag)</source>
        <translation>(ohne Markierung)</translation>
    </message>
    <message>
        <source>1 station</source>
        <translation>1 Station</translation>
    </message>
    <message>
        <source>%1 stations</source>
        <translation>%1 Stationen</translation>
    </message>
    <message>
        <source>%1 online</source>
        <translation>%1 erreichbar</translation>
    </message>
    <message>
        <source>%1 stale</source>
        <translation>%1 veraltet</translation>
    </message>
    <message>
        <source>%1 offline</source>
        <translation>%1 nicht erreichbar</translation>
    </message>
    <message>
        <source>%1 bad password</source>
        <translation>%1 falsches Kennwort</translation>
    </message>
    <message>
        <source>%1 invalid</source>
        <translation>%1 ungültig</translation>
    </message>
    <message>
        <source>%1 in alarm</source>
        <translation>%1 im Alarm</translation>
    </message>
    <message>
        <source>%1 (worst: %2): %3</source>
        <translation>%1 (schlechtester: %2): %3</translation>
    </message>
</context>
<context>
    <name>kestavo::fleetui::FleetModel</name>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 d %2 h</source>
        <translation>%1 T %2 h</translation>
    </message>
    <message>
        <source>never</source>
        <translation>nie</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Last report</source>
        <translation>Letzter Bericht</translation>
    </message>
    <message>
        <source>Relays 1 2 3</source>
        <translation>Relais 1 2 3</translation>
    </message>
    <message>
        <source>I/O 1-5</source>
        <translation>E/A 1-5</translation>
    </message>
    <message>
        <source>Uptime</source>
        <translation>Laufzeit</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarme</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>Temperatur</translation>
    </message>
    <message>
        <source>Last report %1 ago</source>
        <translation>Letzter Bericht vor %1</translation>
    </message>
    <message>
        <source>Voltage %1</source>
        <translation>Spannung %1</translation>
    </message>
    <message>
        <source> V</source>
        <translation> V</translation>
    </message>
    <message>
        <source>%1: %2, %3 old</source>
        <translation>%1: %2, %3 alt</translation>
    </message>
    <message>
        <source>as of %1</source>
        <translation>Stand %1</translation>
    </message>
    <message>
        <source>As of %1 (%2 old)</source>
        <translation>Stand %1 (%2 alt)</translation>
    </message>
    <message>
        <source>Last command</source>
        <translation>Letzter Befehl</translation>
    </message>
</context>
<context>
    <name>kestavo::fleetui::FleetWindow</name>
    <message>
        <source>%1 stations: %2 online, %3 stale, %4 offline, %5 bad password, %6 invalid</source>
        <translation>%1 Stationen: %2 erreichbar, %3 veraltet, %4 nicht erreichbar, %5 falsches Kennwort, %6 ungültig</translation>
    </message>
</context>
<context>
    <name>kestavo::history::AlarmJournal</name>
    <message>
        <source>Changing an alarm rule</source>
        <translation>Das Ändern einer Alarmregel</translation>
    </message>
    <message>
        <source>Changing the alarm rules</source>
        <translation>Das Ändern der Alarmregeln</translation>
    </message>
    <message>
        <source>Removing an alarm rule</source>
        <translation>Das Entfernen einer Alarmregel</translation>
    </message>
    <message>
        <source>Closing the alarms of removed rules</source>
        <translation>Das Schließen der Alarme entfernter Regeln</translation>
    </message>
    <message>
        <source>Raising an alarm</source>
        <translation>Das Auslösen eines Alarms</translation>
    </message>
    <message>
        <source>Changing an alarm</source>
        <translation>Das Ändern eines Alarms</translation>
    </message>
    <message>
        <source>Acknowledging an alarm</source>
        <translation>Das Quittieren eines Alarms</translation>
    </message>
    <message>
        <source>Shelving an alarm</source>
        <translation>Das Zurückstellen eines Alarms</translation>
    </message>
    <message>
        <source>Ending the shelving of an alarm</source>
        <translation>Das Beenden der Zurückstellung eines Alarms</translation>
    </message>
    <message>
        <source>Changing a shared setting</source>
        <translation>Das Ändern einer gemeinsamen Einstellung</translation>
    </message>
    <message>
        <source>%1 failed on %2: %3.</source>
        <translation>%1 ist fehlgeschlagen (%2): %3.</translation>
    </message>
    <message>
        <source>the database did not say why</source>
        <translation>die Datenbank nannte keinen Grund</translation>
    </message>
</context>
<context>
    <name>kestavo::history::AuditLog</name>
    <message>
        <source>Audit records cannot be written to the history file &quot;%1&quot;: %2. Commands are still sent; the audit log resumes when the file can be written again.</source>
        <translation>Prüfprotokolleinträge können nicht in die Verlaufsdatei „%1“ geschrieben werden: %2. Befehle werden weiter gesendet; das Prüfprotokoll wird fortgesetzt, sobald die Datei wieder beschreibbar ist.</translation>
    </message>
    <message>
        <source>Writing the audit log</source>
        <translation>Das Schreiben des Prüfprotokolls</translation>
    </message>
    <message>
        <source>Audit records cannot be written to the store %1: %2.</source>
        <translation>Prüfprotokolleinträge können nicht in den Team-Speicher %1 geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>Commands are still sent; the audit log resumes when the store can be written again.</source>
        <translation>Befehle werden weiter gesendet; das Prüfprotokoll wird fortgesetzt, sobald der Team-Speicher wieder beschrieben werden kann.</translation>
    </message>
</context>
<context>
    <name>kestavo::history::HistoryConnection</name>
    <message>
        <source>The history file &quot;%1&quot; cannot be opened: %2.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>the store %1</source>
        <translation>der Team-Speicher %1</translation>
    </message>
    <message>
        <source>the history file &quot;%1&quot;</source>
        <translation>die Verlaufsdatei „%1“</translation>
    </message>
</context>
<context>
    <name>kestavo::history::HistoryReader</name>
    <message>
        <source>The history file &quot;%1&quot; does not exist; nothing was recorded there yet.</source>
        <translation>Die Verlaufsdatei „%1“ existiert nicht; dort wurde noch nichts aufgezeichnet.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; cannot be opened: %2.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; holds no history yet.</source>
        <translation>Die Verlaufsdatei „%1“ enthält noch keinen Verlauf.</translation>
    </message>
    <message>
        <source>The store %1 cannot be opened: %2</source>
        <translation>Der Team-Speicher %1 kann nicht geöffnet werden: %2</translation>
    </message>
</context>
<context>
    <name>kestavo::history::HistoryStore</name>
    <message>
        <source>The history file &quot;%1&quot; cannot be created (%2).</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht angelegt werden (%2).</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; cannot be opened: %2.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; cannot be prepared: %2.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht vorbereitet werden: %2.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; cannot be created because its folder &quot;%2&quot; does not exist.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht angelegt werden, weil ihr Ordner „%2“ nicht existiert.</translation>
    </message>
    <message>
        <source>Recording to the history file &quot;%1&quot; stopped: %2. The session goes on; recording resumes when the file can be written again.</source>
        <translation>Die Aufzeichnung in die Verlaufsdatei „%1“ wurde angehalten: %2. Die Sitzung läuft weiter; die Aufzeichnung wird fortgesetzt, sobald die Datei wieder beschreibbar ist.</translation>
    </message>
    <message>
        <source>Recording to the history file &quot;%1&quot; is falling behind: another program has kept it locked, so the oldest readings waiting to be written are being dropped. The session goes on; recording resumes when the file can be written again.</source>
        <translation>Die Aufzeichnung in die Verlaufsdatei „%1“ gerät in Rückstand: ein anderes Programm hält die Datei gesperrt, daher werden die ältesten noch nicht geschriebenen Messwerte verworfen. Die Sitzung läuft weiter; die Aufzeichnung wird fortgesetzt, sobald die Datei wieder beschreibbar ist.</translation>
    </message>
    <message>
        <source>Recording to the history file &quot;%1&quot; is waiting: the disk is full (%2). Readings are kept in memory meanwhile; recording resumes when there is space again.</source>
        <translation>Die Aufzeichnung in die Verlaufsdatei „%1“ wartet: der Datenträger ist voll (%2). Die Messwerte werden so lange im Speicher gehalten; die Aufzeichnung wird fortgesetzt, sobald wieder Platz ist.</translation>
    </message>
    <message>
        <source>The store %1 cannot be opened: %2</source>
        <translation>Der Team-Speicher %1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Recording to the store %1 is falling behind, so the oldest readings waiting to be written are being dropped. The session goes on; recording resumes when the store can be written again.</source>
        <translation>Die Aufzeichnung in den Team-Speicher %1 kommt nicht nach, daher werden die ältesten noch nicht geschriebenen Messwerte verworfen. Die Sitzung läuft weiter; die Aufzeichnung wird fortgesetzt, sobald der Speicher wieder beschrieben werden kann.</translation>
    </message>
    <message>
        <source>The store %1 cannot be reached (%2). Readings are kept in memory meanwhile (up to %3 samples) and written in order when it is back; the session goes on.</source>
        <translation>Der Team-Speicher %1 ist nicht erreichbar (%2). Messwerte werden so lange im Arbeitsspeicher gehalten (bis zu %3 Messwerte) und der Reihe nach geschrieben, sobald er wieder da ist; die Sitzung läuft weiter.</translation>
    </message>
    <message>
        <source>Recording to the store %1 stopped: %2. The session goes on; recording resumes when the store can be written again.</source>
        <translation>Die Aufzeichnung in den Team-Speicher %1 wurde angehalten: %2. Die Sitzung läuft weiter; die Aufzeichnung wird fortgesetzt, sobald der Speicher wieder beschrieben werden kann.</translation>
    </message>
</context>
<context>
    <name>kestavo::history::StationLeases</name>
    <message>
        <source>Holding the lease of a station</source>
        <translation>Das Halten der Zuständigkeit für eine Station</translation>
    </message>
    <message>
        <source>The leases of the stations cannot be written to %1: %2.</source>
        <translation>Die Zuständigkeiten der Stationen können nicht in %1 geschrieben werden: %2.</translation>
    </message>
</context>
<context>
    <name>kestavo::history::db</name>
    <message>
        <source>unknown database error</source>
        <translation>unbekannter Datenbankfehler</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; is a folder, not a file; choose another file.</source>
        <translation>Die Verlaufsdatei „%1“ ist ein Ordner, keine Datei; bitte eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; cannot be read (%2); check its permissions.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht gelesen werden (%2); bitte ihre Zugriffsrechte prüfen.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; cannot be opened (%2) and was left unchanged.</source>
        <translation>Die Verlaufsdatei „%1“ kann nicht geöffnet werden (%2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; is damaged (%2) and was left unchanged.</source>
        <translation>Die Verlaufsdatei „%1“ ist beschädigt (%2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; is not an SQLite database and was left unchanged; choose another file.</source>
        <translation>Die Verlaufsdatei „%1“ ist keine SQLite-Datenbank und blieb unverändert; bitte eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The history file &quot;%1&quot; was written by a newer version of Kestavo (schema %2; this one knows %3) and was left unchanged.</source>
        <translation>Die Verlaufsdatei „%1“ wurde von einer neueren Kestavo-Version geschrieben (Schema %2; diese kennt %3) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The database &quot;%1&quot; is not a history file (it has other tables, perhaps a station database) and was left unchanged; choose another file.</source>
        <translation>Die Datenbank „%1“ ist keine Verlaufsdatei (sie hat andere Tabellen, vielleicht eine Stationsdatenbank) und blieb unverändert; bitte eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The store %1 cannot be read: %2.</source>
        <translation>Der Team-Speicher %1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>The store %1 has no tables yet; its owner sets it up with kestavo-cli --store %1 store init.</source>
        <translation>Der Team-Speicher %1 hat noch keine Tabellen; sein Eigentümer richtet ihn mit kestavo-cli --store %1 store init ein.</translation>
    </message>
    <message>
        <source>The store %1 was set up by a newer version of Kestavo (schema %2; this one knows %3) and was left unchanged.</source>
        <translation>Der Team-Speicher %1 wurde von einer neueren Kestavo-Version eingerichtet (Schema %2; diese kennt %3) und bleibt unverändert.</translation>
    </message>
</context>
<context>
    <name>kestavo::options</name>
    <message>
        <source>Option pages</source>
        <translation>Optionsseiten</translation>
    </message>
</context>
<context>
    <name>kestavo::options::OptionsDialog</name>
    <message>
        <source>Voltage %1 label</source>
        <translation>Beschriftung der Spannung %1</translation>
    </message>
    <message>
        <source>Plain text sample</source>
        <translation>Textbeispiel</translation>
    </message>
    <message>
        <source>Graphical sample</source>
        <translation>Grafisches Beispiel</translation>
    </message>
    <message>
        <source>The voltage %1 options could not be stored in the station database %2.</source>
        <translation>Die Optionen der Spannung %1 konnten nicht in der Stationsdatenbank %2 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>kestavo::periphery</name>
    <message>
        <source>KSV unit picture</source>
        <translation>Bild des KSV-Geräts</translation>
    </message>
    <message>
        <source>Open the web browser</source>
        <translation>Den Webbrowser öffnen</translation>
    </message>
    <message>
        <source>Web Browser</source>
        <translation>Webbrowser</translation>
    </message>
    <message>
        <source>Web page</source>
        <translation>Webseite</translation>
    </message>
    <message>
        <source>Address strip</source>
        <translation>Adressleiste</translation>
    </message>
    <message>
        <source>The console runs as root, where the web browser has no sandbox, so it shows only the unit&apos;s own pages (%1) and the console&apos;s own pages. %2 was not opened; run the console as an ordinary user to browse elsewhere.</source>
        <translation>Die Konsole läuft als root, wo der Webbrowser keine Sandbox hat; daher zeigt er nur die Seiten des Geräts (%1) und die eigenen Seiten der Konsole. %2 wurde nicht geöffnet; um anderswo zu surfen, die Konsole als gewöhnlicher Benutzer starten.</translation>
    </message>
</context>
<context>
    <name>kestavo::periphery::BrowserWindow</name>
    <message>
        <source>Browser toolbar</source>
        <translation>Browser-Werkzeugleiste</translation>
    </message>
</context>
<context>
    <name>kestavo::platform</name>
    <message>
        <source>Output of %1</source>
        <translation>Ausgabe von %1</translation>
    </message>
    <message>
        <source>
The command ended with exit code %1.
</source>
        <translation>
Der Befehl endete mit dem Rückgabewert %1.
</translation>
    </message>
    <message>
        <source>
The command was stopped.
</source>
        <translation>
Der Befehl wurde angehalten.
</translation>
    </message>
    <message>
        <source>The command could not be started: %1.
</source>
        <translation>Der Befehl konnte nicht gestartet werden: %1.
</translation>
    </message>
    <message>
        <source>Web page</source>
        <translation>Webseite</translation>
    </message>
</context>
<context>
    <name>kestavo::platform::ProcessSystemCommands</name>
    <message>
        <source>The command %1 is written for another operating system and was not run.</source>
        <translation>Der Befehl %1 ist für ein anderes Betriebssystem geschrieben und wurde nicht ausgeführt.</translation>
    </message>
    <message>
        <source>The command %1 could not be started: %2.</source>
        <translation>Der Befehl %1 konnte nicht gestartet werden: %2.</translation>
    </message>
    <message>
        <source>The command %1 failed</source>
        <translation>Der Befehl %1 ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>The command %1 could not be run because the program %2 is not installed on this computer. Install it and try again.</source>
        <translation>Der Befehl %1 konnte nicht ausgeführt werden, weil das Programm %2 auf diesem Rechner nicht installiert ist. Bitte installieren und es erneut versuchen.</translation>
    </message>
    <message>
        <source>The command %1 needs administrator rights (root or the CAP_NET_ADMIN capability), which the console does not have. Run it yourself with sudo, or start the console with those rights.</source>
        <translation>Der Befehl %1 braucht Administratorrechte (root oder die Fähigkeit CAP_NET_ADMIN), die die Konsole nicht hat. Bitte selbst mit sudo ausführen oder die Konsole mit diesen Rechten starten.</translation>
    </message>
</context>
<context>
    <name>kestavo::platform::ProcessWebView</name>
    <message>
        <source>Starting the web browser…</source>
        <translation>Der Webbrowser wird gestartet…</translation>
    </message>
    <message>
        <source>The web browser (%1) could not be started: %2.</source>
        <translation>Der Webbrowser (%1) konnte nicht gestartet werden: %2.</translation>
    </message>
    <message>
        <source>The web browser (%1) ended (exit code %2). Close this window and open it again.</source>
        <translation>Der Webbrowser (%1) wurde beendet (Exit-Code %2). Dieses Fenster schließen und erneut öffnen.</translation>
    </message>
    <message>
        <source>The web page opens in a window of its own.</source>
        <translation>Die Webseite öffnet sich in einem eigenen Fenster.</translation>
    </message>
</context>
<context>
    <name>kestavo::platform::TextBrowserView</name>
    <message>
        <source>Page not available</source>
        <translation>Seite nicht verfügbar</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head&gt;&lt;title&gt;%1&lt;/title&gt;&lt;/head&gt;&lt;body&gt;&lt;h2&gt;The page could not be loaded&lt;/h2&gt;&lt;p&gt;%2: %3&lt;/p&gt;&lt;p&gt;Check the address and that the unit is reachable, then press Refresh.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head&gt;&lt;title&gt;%1&lt;/title&gt;&lt;/head&gt;&lt;body&gt;&lt;h2&gt;Die Seite konnte nicht geladen werden&lt;/h2&gt;&lt;p&gt;%2: %3&lt;/p&gt;&lt;p&gt;Bitte die Adresse prüfen und ob das Gerät erreichbar ist, dann Refresh drücken.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
</context>
<context>
    <name>kestavo::relays</name>
    <message>
        <source>Delay in seconds</source>
        <translation>Verzögerung in Sekunden</translation>
    </message>
</context>
<context>
    <name>kestavo::relays::RelayNotesDialog</name>
    <message>
        <source>The note could not be stored in the station database %1.</source>
        <translation>Die Notiz konnte nicht in der Stationsdatenbank %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>kestavo::schedulewindows::SchedulesWindow</name>
    <message>
        <source>Schedules</source>
        <translation>Zeitpläne</translation>
    </message>
    <message>
        <source>Schedule entries</source>
        <translation>Zeitplaneinträge</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Station or tag</source>
        <translation>Station oder Tag</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Aktion</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Wann</translation>
    </message>
    <message>
        <source>Days</source>
        <translation>Tage</translation>
    </message>
    <message>
        <source>Dates</source>
        <translation>Daten</translation>
    </message>
    <message>
        <source>Actions of the next seven days per station</source>
        <translation>Aktionen der nächsten sieben Tage je Station</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Tag</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Station address or tag</source>
        <translation>Stationsadresse oder Tag</translation>
    </message>
    <message>
        <source>Relay on</source>
        <translation>Relais ein</translation>
    </message>
    <message>
        <source>Relay off</source>
        <translation>Relais aus</translation>
    </message>
    <message>
        <source>Pulse relay</source>
        <translation>Relais kurz schalten</translation>
    </message>
    <message>
        <source>Run relay script</source>
        <translation>Relaisskript ausführen</translation>
    </message>
    <message>
        <source>Relay</source>
        <translation>Relais</translation>
    </message>
    <message>
        <source>Pulse seconds</source>
        <translation>Impulsdauer in Sekunden</translation>
    </message>
    <message>
        <source>Relay script slot</source>
        <translation>Platz des Relaisskripts</translation>
    </message>
    <message>
        <source>At a time of day</source>
        <translation>Zu einer Uhrzeit</translation>
    </message>
    <message>
        <source>Sunrise</source>
        <translation>Sonnenaufgang</translation>
    </message>
    <message>
        <source>Sunset</source>
        <translation>Sonnenuntergang</translation>
    </message>
    <message>
        <source>Civil dawn</source>
        <translation>Bürgerliche Morgendämmerung</translation>
    </message>
    <message>
        <source>Civil dusk</source>
        <translation>Bürgerliche Abenddämmerung</translation>
    </message>
    <message>
        <source>Time of day, HH:MM</source>
        <translation>Uhrzeit, HH:MM</translation>
    </message>
    <message>
        <source>Minutes after the sun event (negative: before)</source>
        <translation>Minuten nach dem Sonnenereignis (negativ: davor)</translation>
    </message>
    <message>
        <source>Mon</source>
        <translation>Mo</translation>
    </message>
    <message>
        <source>Tue</source>
        <translation>Di</translation>
    </message>
    <message>
        <source>Wed</source>
        <translation>Mi</translation>
    </message>
    <message>
        <source>Thu</source>
        <translation>Do</translation>
    </message>
    <message>
        <source>Fri</source>
        <translation>Fr</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>Sa</translation>
    </message>
    <message>
        <source>Sun</source>
        <translation>So</translation>
    </message>
    <message>
        <source>First date, YYYY-MM-DD</source>
        <translation>Erstes Datum, JJJJ-MM-TT</translation>
    </message>
    <message>
        <source>Last date, YYYY-MM-DD</source>
        <translation>Letztes Datum, JJJJ-MM-TT</translation>
    </message>
    <message>
        <source>Dates left out, YYYY-MM-DD separated by commas</source>
        <translation>Ausgelassene Daten, JJJJ-MM-TT durch Kommas getrennt</translation>
    </message>
    <message>
        <source>any</source>
        <translation>beliebig</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Wo</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Was</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add the entry</source>
        <translation>Den Eintrag hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected entry</source>
        <translation>Den gewählten Eintrag entfernen</translation>
    </message>
    <message>
        <source>Enable / disable</source>
        <translation>Ein- / ausschalten</translation>
    </message>
    <message>
        <source>Enable or disable the selected entry</source>
        <translation>Den gewählten Eintrag ein- oder ausschalten</translation>
    </message>
    <message>
        <source>station: enter the station&apos;s address</source>
        <translation>station: bitte die Adresse der Station eingeben</translation>
    </message>
    <message>
        <source>tag: enter a tag</source>
        <translation>tag: bitte einen Tag eingeben</translation>
    </message>
    <message>
        <source>time: &quot;%1&quot; is no time of day (HH:MM)</source>
        <translation>time: „%1“ ist keine Uhrzeit (HH:MM)</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is no date (YYYY-MM-DD)</source>
        <translation>%1: „%2“ ist kein Datum (JJJJ-MM-TT)</translation>
    </message>
    <message>
        <source>except: &quot;%1&quot; is no date (YYYY-MM-DD)</source>
        <translation>except: „%1“ ist kein Datum (JJJJ-MM-TT)</translation>
    </message>
    <message>
        <source>station: %1 is not in the station list</source>
        <translation>station: %1 steht nicht in der Stationsliste</translation>
    </message>
    <message>
        <source>when: %1 has no latitude and longitude, so its %2 is unknown</source>
        <translation>when: %1 hat keine geografische Breite und Länge, daher ist %2 dort unbekannt</translation>
    </message>
    <message>
        <source>This entry cannot run: %1.</source>
        <translation>Dieser Eintrag kann nicht ausgeführt werden: %1.</translation>
    </message>
    <message>
        <source>The entry could not be written to &quot;%1&quot;: %2</source>
        <translation>Der Eintrag konnte nicht in „%1“ geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Remove schedule entry #%1?</source>
        <translation>Zeitplaneintrag #%1 entfernen?</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no</source>
        <translation>nein</translation>
    </message>
    <message>
        <source>no %1</source>
        <translation>kein %1</translation>
    </message>
</context>
<context>
    <name>kestavo::stations</name>
    <message>
        <source>unknown database error</source>
        <translation>unbekannter Datenbankfehler</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be read (%2) and was left unchanged.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht gelesen werden (%2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is locked by another program (%2) and was left unchanged; close the other program (or another Kestavo) and start again.</source>
        <translation>Die Stationsdatenbank „%1“ ist von einem anderen Programm gesperrt (%2) und blieb unverändert; bitte das andere Programm (oder ein anderes Kestavo) schließen und neu starten.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be read because the disk is full (%2); it was left unchanged. Free some space and start again.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht gelesen werden, weil der Datenträger voll ist (%2); sie blieb unverändert. Bitte Platz schaffen und neu starten.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be read: permission was refused (%2). It was left unchanged; check the permissions of the file and its folder.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht gelesen werden: der Zugriff wurde verweigert (%2). Sie blieb unverändert; bitte die Zugriffsrechte der Datei und ihres Ordners prüfen.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be read: the disk reported an input/output error (%2). It was left unchanged; check the disk.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht gelesen werden: der Datenträger meldete einen Ein-/Ausgabefehler (%2). Sie blieb unverändert; bitte den Datenträger prüfen.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is damaged (%2) and was left unchanged.</source>
        <translation>Die Stationsdatenbank „%1“ ist beschädigt (%2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The tags and sites in the station database &quot;%1&quot; were written by a newer version of Kestavo; they were left unchanged.</source>
        <translation>Die Tags und Standorte in der Stationsdatenbank „%1“ wurden von einer neueren Kestavo-Version geschrieben; sie blieben unverändert.</translation>
    </message>
</context>
<context>
    <name>kestavo::stations::StationStore</name>
    <message>
        <source>The station database &quot;%1&quot; cannot be opened: %2.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is a folder, not a file; choose another file.</source>
        <translation>Die Stationsdatenbank „%1“ ist ein Ordner, keine Datei; bitte eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be read (%2); check its permissions.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht gelesen werden (%2); bitte ihre Zugriffsrechte prüfen.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be created (%2).</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht angelegt werden (%2).</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be prepared: %2.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht vorbereitet werden: %2.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be read: %2.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>No station database is open; the change was not saved.</source>
        <translation>Es ist keine Stationsdatenbank geöffnet; die Änderung wurde nicht gespeichert.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is not open; the change was not saved.</source>
        <translation>Die Stationsdatenbank „%1“ ist nicht geöffnet; die Änderung wurde nicht gespeichert.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is read-only; the change was not saved.</source>
        <translation>Die Stationsdatenbank „%1“ ist schreibgeschützt; die Änderung wurde nicht gespeichert.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be changed: %2.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht geändert werden: %2.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; could not be changed: %2.</source>
        <translation>Die Stationsdatenbank „%1“ konnte nicht geändert werden: %2.</translation>
    </message>
    <message>
        <source>No station is selected; the change was not saved.</source>
        <translation>Es ist keine Station ausgewählt; die Änderung wurde nicht gespeichert.</translation>
    </message>
    <message>
        <source>There is no station at position %1; nothing was removed.</source>
        <translation>An Position %1 gibt es keine Station; es wurde nichts entfernt.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; cannot be created because its folder &quot;%2&quot; does not exist; create the folder or choose another file.</source>
        <translation>Die Stationsdatenbank „%1“ kann nicht angelegt werden, weil ihr Ordner „%2“ nicht existiert; bitte den Ordner anlegen oder eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is not an SQLite database (it may be a station file of an older console) and was left unchanged; choose another file.</source>
        <translation>Die Stationsdatenbank „%1“ ist keine SQLite-Datenbank (vielleicht eine Stationsdatei einer älteren Konsole) und blieb unverändert; bitte eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The database &quot;%1&quot; has no &quot;ipnumbers&quot; table, so it is not a station database; it was left unchanged.</source>
        <translation>Die Datenbank „%1“ hat keine Tabelle „ipnumbers“ und ist daher keine Stationsdatenbank; sie blieb unverändert.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; was written by a newer version of Kestavo (schema %2) and was left unchanged.</source>
        <translation>Die Stationsdatenbank „%1“ wurde von einer neueren Kestavo-Version geschrieben (Schema %2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; is empty and read-only, so no station table can be created in it; choose another file.</source>
        <translation>Die Stationsdatenbank „%1“ ist leer und schreibgeschützt, daher kann darin keine Stationstabelle angelegt werden; bitte eine andere Datei wählen.</translation>
    </message>
    <message>
        <source>The station database &quot;%1&quot; has no column &quot;%2&quot;; the change was not saved.</source>
        <translation>Die Stationsdatenbank „%1“ hat keine Spalte „%2“; die Änderung wurde nicht gespeichert.</translation>
    </message>
    <message>
        <source>The store %1 cannot be opened: %2.</source>
        <translation>Der Speicher %1 lässt sich nicht öffnen: %2.</translation>
    </message>
    <message>
        <source>The store %1 holds no station directory (%2); set it up with kestavo-cli store init.</source>
        <translation>Der Speicher %1 enthält kein Stationsverzeichnis (%2); richten Sie es mit kestavo-cli store init ein.</translation>
    </message>
    <message>
        <source>The station directory of the store %1 was set up by a newer version of Kestavo (schema %2) and was left unchanged.</source>
        <translation>Das Stationsverzeichnis des Speichers %1 wurde von einer neueren Kestavo-Version eingerichtet (Schema %2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The store %1 holds no station directory; set it up with kestavo-cli store init.</source>
        <translation>Der Speicher %1 enthält kein Stationsverzeichnis; richten Sie es mit kestavo-cli store init ein.</translation>
    </message>
    <message>
        <source>The station directory of the store %1 cannot be read: %2.</source>
        <translation>Das Stationsverzeichnis des Speichers %1 lässt sich nicht lesen: %2.</translation>
    </message>
</context>
<context>
    <name>kestavo::store</name>
    <message>
        <source>unknown database error</source>
        <translation>unbekannter Datenbankfehler</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is one of the store&apos;s group roles, not a login; name a person&apos;s or a program&apos;s login.</source>
        <translation>&quot;%1&quot; ist eine Gruppenrolle des Speichers, keine Anmeldung; nennen Sie die Anmeldung einer Person oder eines Programms.</translation>
    </message>
    <message>
        <source>There is no login &quot;%1&quot; on this PostgreSQL server; create it first (createuser --pwprompt %1, as a role with CREATEROLE).</source>
        <translation>Auf diesem PostgreSQL-Server gibt es keine Anmeldung &quot;%1&quot;; legen Sie sie zuerst an (createuser --pwprompt %1, als Rolle mit CREATEROLE).</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a role that cannot log in; give the role to a login instead.</source>
        <translation>&quot;%1&quot; ist eine Rolle, die sich nicht anmelden kann; geben Sie die Rolle stattdessen einer Anmeldung.</translation>
    </message>
    <message>
        <source>The database refused: giving or taking the admin role needs the store&apos;s owner (the login that ran store init, with CREATEROLE).</source>
        <translation>Die Datenbank hat abgelehnt: Die Admin-Rolle geben oder nehmen darf nur der Eigentümer des Speichers (die Anmeldung, die store init ausgeführt hat, mit CREATEROLE).</translation>
    </message>
    <message>
        <source>Changing the role of a login</source>
        <translation>Das Ändern der Rolle einer Anmeldung</translation>
    </message>
    <message>
        <source>The database refused: store init needs the database&apos;s owner (the login that ran it first), with the right to create roles (CREATEROLE).</source>
        <translation>Die Datenbank hat abgelehnt: store init braucht den Eigentümer der Datenbank (die Anmeldung, die es zuerst ausgeführt hat) mit dem Recht, Rollen anzulegen (CREATEROLE).</translation>
    </message>
    <message>
        <source>The store has a schema_version table without the history&apos;s number: %1.</source>
        <translation>Der Speicher hat eine Tabelle schema_version ohne die Nummer des Verlaufs: %1.</translation>
    </message>
    <message>
        <source>no row</source>
        <translation>keine Zeile</translation>
    </message>
    <message>
        <source>The store was set up by a newer version of Kestavo (schema %1; this one knows %2) and was left unchanged.</source>
        <translation>Der Speicher wurde von einer neueren Kestavo-Version eingerichtet (Schema %1; diese kennt %2) und blieb unverändert.</translation>
    </message>
    <message>
        <source>The database refused (%1): store init needs the database&apos;s owner, with the right to create roles (CREATEROLE).</source>
        <translation>Die Datenbank hat abgelehnt (%1): store init braucht den Eigentümer der Datenbank mit dem Recht, Rollen anzulegen (CREATEROLE).</translation>
    </message>
    <message>
        <source>Reading the store</source>
        <translation>Das Lesen des Speichers</translation>
    </message>
</context>
<context>
    <name>kestavo::store::HistoryImport</name>
    <message>
        <source>Copying a desk&apos;s alarms and audit log keeps the names in them, which only the store&apos;s owner (the login that ran store init) may write; run the import as the owner.</source>
        <translation>Beim Kopieren der Alarme und des Prüfprotokolls eines Arbeitsplatzes bleiben die Namen darin erhalten, die nur der Eigentümer des Speichers (die Anmeldung, die store init ausgeführt hat) schreiben darf; führen Sie den Import als Eigentümer aus.</translation>
    </message>
</context>
<context>
    <name>kestavo::store::StoreConnection</name>
    <message>
        <source>The PostgreSQL driver of Qt SQL is not installed, so the store %1 cannot be reached; install the package libqt6sql6-psql.</source>
        <translation>Der PostgreSQL-Treiber von Qt SQL ist nicht installiert, daher ist der Team-Speicher %1 nicht erreichbar; installieren Sie das Paket libqt6sql6-psql.</translation>
    </message>
    <message>
        <source>The store %1 cannot be opened: %2</source>
        <translation>Der Team-Speicher %1 kann nicht geöffnet werden: %2</translation>
    </message>
</context>
<context>
    <name>kestavo::store::StoreImport</name>
    <message>
        <source>Importing stations</source>
        <translation>Das Importieren von Stationen</translation>
    </message>
</context>
<context>
    <name>kestavo::store::StoreNotifier</name>
    <message>
        <source>The store&apos;s connection cannot listen for changes.</source>
        <translation>Die Verbindung zum Speicher kann nicht auf Änderungen warten.</translation>
    </message>
    <message>
        <source>The store refused to report changes on %1: %2</source>
        <translation>Der Speicher meldet keine Änderungen auf %1: %2</translation>
    </message>
</context>
<context>
    <name>kestavo::store::StoreUrl</name>
    <message>
        <source>A store address never holds a password: give it to libpq instead, in ~/.pgpass, in the file PGPASSFILE names, or in PGPASSWORD.</source>
        <translation>Eine Adresse des Team-Speichers enthält nie ein Passwort: Geben Sie es stattdessen libpq, in ~/.pgpass, in der Datei, die PGPASSFILE nennt, oder in PGPASSWORD.</translation>
    </message>
    <message>
        <source>The store address is empty; write it as %1.</source>
        <translation>Die Adresse des Team-Speichers ist leer; schreiben Sie sie als %1.</translation>
    </message>
    <message>
        <source>The store address contains a space; write it as %1.</source>
        <translation>Die Adresse des Team-Speichers enthält ein Leerzeichen; schreiben Sie sie als %1.</translation>
    </message>
    <message>
        <source>The store address must start with postgresql:// (%1).</source>
        <translation>Die Adresse des Team-Speichers muss mit postgresql:// beginnen (%1).</translation>
    </message>
    <message>
        <source>The store address has a &apos;#&apos; part, which means nothing here; remove it.</source>
        <translation>Die Adresse des Team-Speichers hat einen „#“-Teil, der hier nichts bedeutet; entfernen Sie ihn.</translation>
    </message>
    <message>
        <source>The store address names no database; write it as %1.</source>
        <translation>Die Adresse des Team-Speichers nennt keine Datenbank; schreiben Sie sie als %1.</translation>
    </message>
    <message>
        <source>The store address names no database login; write it as %1 (the login is also who the store records for every change).</source>
        <translation>Die Adresse des Team-Speichers nennt keine Datenbankanmeldung; schreiben Sie sie als %1 (die Anmeldung ist auch, wen der Team-Speicher bei jeder Änderung vermerkt).</translation>
    </message>
    <message>
        <source>The database login in the store address is empty or badly encoded; write it as %1.</source>
        <translation>Die Datenbankanmeldung in der Adresse des Team-Speichers ist leer oder falsch kodiert; schreiben Sie sie als %1.</translation>
    </message>
    <message>
        <source>The IPv6 address in the store address has no closing &apos;]&apos;.</source>
        <translation>Der IPv6-Adresse in der Adresse des Team-Speichers fehlt die schließende „]“.</translation>
    </message>
    <message>
        <source>After the IPv6 address in the store address only :PORT may follow.</source>
        <translation>Auf die IPv6-Adresse in der Adresse des Team-Speichers darf nur :PORT folgen.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; in brackets is not an IPv6 address.</source>
        <translation>„%1“ in Klammern ist keine IPv6-Adresse.</translation>
    </message>
    <message>
        <source>The port in the store address is empty; leave out the &apos;:&apos; for port %1.</source>
        <translation>Der Port in der Adresse des Team-Speichers ist leer; lassen Sie den „:“ für Port %1 weg.</translation>
    </message>
    <message>
        <source>The store address names no host; write it as %1.</source>
        <translation>Die Adresse des Team-Speichers nennt keinen Host; schreiben Sie sie als %1.</translation>
    </message>
    <message>
        <source>The store address names one host, without encoding; &quot;%1&quot; is not one.</source>
        <translation>Die Adresse des Team-Speichers nennt einen Host, ohne Kodierung; „%1“ ist keiner.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a host name or address.</source>
        <translation>„%1“ ist weder Hostname noch Adresse.</translation>
    </message>
    <message>
        <source>The port &quot;%1&quot; in the store address is not a number from 1 to 65535.</source>
        <translation>Der Port „%1“ in der Adresse des Team-Speichers ist keine Zahl von 1 bis 65535.</translation>
    </message>
    <message>
        <source>The database name &quot;%1&quot; contains a &apos;/&apos;; a store address names one database.</source>
        <translation>Der Datenbankname „%1“ enthält einen „/“; eine Adresse des Team-Speichers nennt eine Datenbank.</translation>
    </message>
    <message>
        <source>The database name in the store address is badly encoded.</source>
        <translation>Der Datenbankname in der Adresse des Team-Speichers ist falsch kodiert.</translation>
    </message>
    <message>
        <source>The store address ends in &apos;?&apos; with no setting after it; remove the &apos;?&apos;.</source>
        <translation>Die Adresse des Team-Speichers endet auf „?“ ohne Einstellung danach; entfernen Sie das „?“.</translation>
    </message>
    <message>
        <source>The store address setting &quot;%1&quot; is not one this program passes on; sslmode and sslrootcert are.</source>
        <translation>Die Einstellung „%1“ der Adresse des Team-Speichers gibt dieses Programm nicht weiter; sslmode und sslrootcert schon.</translation>
    </message>
    <message>
        <source>The store address setting %1 has no value.</source>
        <translation>Die Einstellung %1 der Adresse des Team-Speichers hat keinen Wert.</translation>
    </message>
    <message>
        <source>The store address sets %1 twice.</source>
        <translation>Die Adresse des Team-Speichers setzt %1 zweimal.</translation>
    </message>
    <message>
        <source>sslmode &quot;%1&quot; is not one of %2.</source>
        <translation>sslmode „%1“ ist nicht eines von %2.</translation>
    </message>
    <message>
        <source>The sslrootcert path &quot;%1&quot; contains a &apos;;&apos;, which cannot be passed on; move the certificate to a path without one.</source>
        <translation>Der sslrootcert-Pfad „%1“ enthält ein „;“, das nicht weitergegeben werden kann; legen Sie das Zertifikat unter einen Pfad ohne.</translation>
    </message>
</context>
<context>
    <name>kestavo::store::StoreWatch</name>
    <message>
        <source>The store %1 does not answer: %2</source>
        <translation>Der Speicher %1 antwortet nicht: %2</translation>
    </message>
</context>
<context>
    <name>kestavo::store::TeamSchema</name>
    <message>
        <source>reads stations, readings, alarms and the audit log, but not the units&apos; passwords</source>
        <translation>liest Stationen, Messwerte, Alarme und das Prüfprotokoll, aber nicht die Passwörter der Geräte</translation>
    </message>
    <message>
        <source>a viewer who also reads the units&apos; passwords (so commands units), acknowledges and shelves alarms, and writes readings and the audit log</source>
        <translation>ein Betrachter, der auch die Passwörter der Geräte liest (also Geräte steuert), Alarme quittiert und zurückstellt und Messwerte und das Prüfprotokoll schreibt</translation>
    </message>
    <message>
        <source>an operator who also edits stations, alarm rules, notification routes and schedules, and gives logins the viewer or operator role</source>
        <translation>ein Bediener, der auch Stationen, Alarmregeln, Benachrichtigungswege und Zeitpläne bearbeitet und Anmeldungen die Rolle Betrachter oder Bediener gibt</translation>
    </message>
    <message>
        <source>The database refused: %1 needs the %2 role (%3); ask the store&apos;s administrator (kestavo-cli store grant LOGIN %2).</source>
        <translation>Die Datenbank hat abgelehnt: %1 braucht die Rolle %2 (%3); fragen Sie den Verwalter des Team-Speichers (kestavo-cli store grant LOGIN %2).</translation>
    </message>
</context>
<context>
    <name>kestavo::store::TeamStations</name>
    <message>
        <source>Changing the station directory</source>
        <translation>Das Ändern des Stationsverzeichnisses</translation>
    </message>
    <message>
        <source>Commanding a unit</source>
        <translation>Das Steuern eines Geräts</translation>
    </message>
</context>
<context>
    <name>kestavo::trends</name>
    <message>
        <source>Trends</source>
        <translation>Verläufe</translation>
    </message>
</context>
<context>
    <name>kestavo::trends::TrendsWindow</name>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>Follow &amp;live</source>
        <translation>&amp;Live folgen</translation>
    </message>
    <message>
        <source>Follow live</source>
        <translation>Live folgen</translation>
    </message>
    <message>
        <source>Export CSV…</source>
        <translation>CSV exportieren…</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>CSV exportieren</translation>
    </message>
    <message>
        <source>Save image…</source>
        <translation>Bild speichern…</translation>
    </message>
    <message>
        <source>Save image</source>
        <translation>Bild speichern</translation>
    </message>
    <message>
        <source>Relays and I/O</source>
        <translation>Relais und E/A</translation>
    </message>
    <message>
        <source>Readings chart</source>
        <translation>Diagramm der Messwerte</translation>
    </message>
    <message>
        <source>Relays and I/O pins chart</source>
        <translation>Diagramm der Relais und E/A-Pins</translation>
    </message>
    <message>
        <source>Trends status</source>
        <translation>Zustand der Verläufe</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>Loading…</source>
        <translation>Wird geladen…</translation>
    </message>
    <message>
        <source>%1 rows at step %2</source>
        <translation>%1 Zeilen im Abstand %2</translation>
    </message>
    <message>
        <source>The CSV file &quot;%1&quot; cannot be written: %2.</source>
        <translation>Die CSV-Datei „%1“ kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>The image &quot;%1&quot; cannot be written; choose another folder.</source>
        <translation>Das Bild „%1“ kann nicht geschrieben werden; bitte einen anderen Ordner wählen.</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1, %2, %3–%4 %5</source>
        <translation>%1, %2, %3–%4 %5</translation>
    </message>
    <message>
        <source>%1, %2, no readings</source>
        <translation>%1, %2, keine Messwerte</translation>
    </message>
    <message>
        <source>No channel chosen</source>
        <translation>Kein Kanal gewählt</translation>
    </message>
    <message>
        <source>last 10 minutes</source>
        <translation>letzte 10 Minuten</translation>
    </message>
    <message>
        <source>last hour</source>
        <translation>letzte Stunde</translation>
    </message>
    <message>
        <source>last 24 hours</source>
        <translation>letzte 24 Stunden</translation>
    </message>
    <message>
        <source>last 7 days</source>
        <translation>letzte 7 Tage</translation>
    </message>
    <message>
        <source>last 30 days</source>
        <translation>letzte 30 Tage</translation>
    </message>
    <message>
        <source>last year</source>
        <translation>letztes Jahr</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>Exported %1 rows to %2</source>
        <translation>%1 Zeilen nach %2 exportiert</translation>
    </message>
    <message>
        <source>Saved the chart to %1</source>
        <translation>Diagramm nach %1 gespeichert</translation>
    </message>
</context>
<context>
    <name>kestavo::unitbackup</name>
    <message>
        <source>Unit configuration (*.json);;All files (*)</source>
        <translation>Gerätekonfiguration (*.json);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Back up…</source>
        <translation>Sichern…</translation>
    </message>
    <message>
        <source>Unit configuration</source>
        <translation>Gerätekonfiguration</translation>
    </message>
    <message>
        <source>Differences to restore</source>
        <translation>Wiederherzustellende Unterschiede</translation>
    </message>
    <message>
        <source>Unit: %1</source>
        <translation>Gerät: %1</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Compare…</source>
        <translation>Vergleichen…</translation>
    </message>
    <message>
        <source>Restore…</source>
        <translation>Wiederherstellen…</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>kestavo::unitbackup::RolloutTableModel</name>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
</context>
<context>
    <name>kestavo::unitbackup::RolloutWindow</name>
    <message>
        <source>1 station</source>
        <translation>1 Station</translation>
    </message>
    <message>
        <source>%1 stations</source>
        <translation>%1 Stationen</translation>
    </message>
    <message>
        <source>Configuration file</source>
        <translation>Konfigurationsdatei</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Wählen…</translation>
    </message>
    <message>
        <source>Stations with the tag</source>
        <translation>Stationen mit dem Tag</translation>
    </message>
    <message>
        <source>Tag</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Stations chosen from the list</source>
        <translation>In der Liste gewählte Stationen</translation>
    </message>
    <message>
        <source>Stations</source>
        <translation>Stationen</translation>
    </message>
    <message>
        <source>Units at a time</source>
        <translation>Geräte gleichzeitig</translation>
    </message>
    <message>
        <source>Maximum failures</source>
        <translation>Höchstzahl Fehlschläge</translation>
    </message>
    <message>
        <source>Dry run: compare only, write nothing</source>
        <translation>Probelauf: nur vergleichen, nichts schreiben</translation>
    </message>
    <message>
        <source>Dry run</source>
        <translation>Probelauf</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Rollout</source>
        <translation>Verteilen</translation>
    </message>
    <message>
        <source>A unit backup (.json)</source>
        <translation>Eine Gerätesicherung (.json)</translation>
    </message>
    <message>
        <source>Items</source>
        <translation>Teile</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Gruppe</translation>
    </message>
    <message>
        <source>never stop</source>
        <translation>nie anhalten</translation>
    </message>
    <message>
        <source>Configuration file:</source>
        <translation>Konfigurationsdatei:</translation>
    </message>
    <message>
        <source>Units at a time:</source>
        <translation>Geräte gleichzeitig:</translation>
    </message>
    <message>
        <source>Stop after failures:</source>
        <translation>Anhalten nach Fehlschlägen:</translation>
    </message>
    <message>
        <source>Select every unit</source>
        <translation>Alle Geräte auswählen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Configuration to roll out</source>
        <translation>Zu verteilende Konfiguration</translation>
    </message>
    <message>
        <source>Choose the configuration file to roll out first; nothing was sent.</source>
        <translation>Wählen Sie zuerst die zu verteilende Konfigurationsdatei; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>%1 Nothing was sent.</source>
        <translation>%1 Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is refused: %2; nothing was sent.</source>
        <translation>„%1“ wird abgelehnt: %2; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Tick at least one item to roll out; nothing was sent.</source>
        <translation>Kreuzen Sie mindestens einen zu verteilenden Teil an; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>No station has a tag yet: choose the stations from the list; nothing was sent.</source>
        <translation>Noch keine Station hat ein Tag: Wählen Sie die Stationen in der Liste; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>tag %1</source>
        <translation>Tag %1</translation>
    </message>
    <message>
        <source>No station has the tag %1; nothing was sent.</source>
        <translation>Keine Station hat das Tag %1; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>listed</source>
        <translation>aufgelistet</translation>
    </message>
    <message>
        <source>Choose the stations in the list first; nothing was sent.</source>
        <translation>Wählen Sie zuerst die Stationen in der Liste; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>%1 is no longer in the station database; nothing was sent.</source>
        <translation>%1 ist nicht mehr in der Stationsdatenbank; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Roll out %1 (%2) at %3 (%4)?</source>
        <translation>%1 (%2) an %3 (%4) verteilen?</translation>
    </message>
    <message>
        <source>Cancelled; nothing was sent.</source>
        <translation>Abgebrochen; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>working…</source>
        <translation>in Arbeit…</translation>
    </message>
    <message>
        <source>Comparing %1 (%2)…</source>
        <translation>Vergleiche %1 (%2)…</translation>
    </message>
    <message>
        <source>Rolling out to %1 (%2)…</source>
        <translation>Verteile an %1 (%2)…</translation>
    </message>
    <message>
        <source>Resumed.</source>
        <translation>Fortgesetzt.</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Paused: no further unit is started until Resume; the units in flight finish.</source>
        <translation>Angehalten: Bis „Fortsetzen“ wird kein weiteres Gerät begonnen; die laufenden Geräte werden fertig.</translation>
    </message>
    <message>
        <source>Stopping: the units in flight finish; no further unit is started.</source>
        <translation>Wird beendet: Die laufenden Geräte werden fertig; kein weiteres wird begonnen.</translation>
    </message>
    <message>
        <source>%1 written</source>
        <translation>%1 geschrieben</translation>
    </message>
    <message>
        <source>%1 equal</source>
        <translation>%1 gleich</translation>
    </message>
    <message>
        <source>%1 differ</source>
        <translation>%1 abweichend</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 not started (stopped)</source>
        <translation>%1 nicht begonnen (beendet)</translation>
    </message>
    <message>
        <source>%1 not started (after %2 failure(s))</source>
        <translation>%1 nicht begonnen (nach %2 Fehlschlag/Fehlschlägen)</translation>
    </message>
    <message>
        <source>not started</source>
        <translation>nicht begonnen</translation>
    </message>
    <message>
        <source>The rollout is running: press Stop, and close the window once the units in flight have finished.</source>
        <translation>Die Verteilung läuft: Drücken Sie „Stopp“ und schließen Sie das Fenster, wenn die laufenden Geräte fertig sind.</translation>
    </message>
</context>
<context>
    <name>kestavo::unitbackup::UnitBackupWindow</name>
    <message>
        <source>Reading the unit&apos;s configuration…</source>
        <translation>Konfiguration des Geräts wird gelesen…</translation>
    </message>
    <message>
        <source>The configuration of %1 could not be read: %2</source>
        <translation>Die Konfiguration von %1 konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Back up the unit&apos;s configuration</source>
        <translation>Konfiguration des Geräts sichern</translation>
    </message>
    <message>
        <source>Back-up cancelled; nothing was written.</source>
        <translation>Sicherung abgebrochen; es wurde nichts geschrieben.</translation>
    </message>
    <message>
        <source>The configuration of %1 was written to %2.</source>
        <translation>Die Konfiguration von %1 wurde nach %2 geschrieben.</translation>
    </message>
    <message>
        <source>Compare the unit with a configuration file</source>
        <translation>Das Gerät mit einer Konfigurationsdatei vergleichen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a configuration this console can restore: %2. Nothing was sent.</source>
        <translation>„%1“ ist keine Konfiguration, die diese Konsole wiederherstellen kann: %2. Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>The unit matches %1.</source>
        <translation>Das Gerät stimmt mit %1 überein.</translation>
    </message>
    <message>
        <source>%1 difference(s) with %2. Tick what to restore.</source>
        <translation>%1 Unterschied(e) zu %2. Bitte ankreuzen, was wiederhergestellt werden soll.</translation>
    </message>
    <message>
        <source>Tick the items to restore first.</source>
        <translation>Bitte zuerst die wiederherzustellenden Einträge ankreuzen.</translation>
    </message>
    <message>
        <source>. Nothing was sent.</source>
        <translation>. Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Write %1 item(s) from %2 to the unit at %3?</source>
        <translation>%1 Eintrag/Einträge aus %2 in das Gerät unter %3 schreiben?</translation>
    </message>
    <message>
        <source>Restore finished. </source>
        <translation>Wiederherstellung beendet. </translation>
    </message>
    <message>
        <source>The configuration could not be written to &quot;%1&quot;: %2. Choose another file and try again.</source>
        <translation>Die Konfiguration konnte nicht nach „%1“ geschrieben werden: %2. Bitte eine andere Datei wählen und es erneut versuchen.</translation>
    </message>
    <message>
        <source>The unit has not sent a report yet. Wait for its first report, then try again.</source>
        <translation>Das Gerät hat noch keinen Bericht gesendet. Bitte seinen ersten Bericht abwarten und es dann erneut versuchen.</translation>
    </message>
    <message>
        <source>Start a session with the unit first.</source>
        <translation>Bitte zuerst eine Sitzung mit dem Gerät starten.</translation>
    </message>
    <message>
        <source>Warning: %1.</source>
        <translation>Warnung: %1.</translation>
    </message>
</context>
</TS>
