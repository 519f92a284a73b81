<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=$WIDTH">
<title>$TITLE</title>
<style>
body { margin: 0; padding: 10px 14px 28px 14px; background: #ffffff; color: #202122;
       font-family: sans-serif; font-size: 15px; }
h1 { margin: 4px 0 12px 0; padding-bottom: 6px; border-bottom: 1px solid #a2a9b1;
     font-family: serif; font-size: 24px; font-weight: normal; }
h2 { margin: 18px 0 6px 0; padding-bottom: 3px; border-bottom: 1px solid #c8ccd1;
     font-family: serif; font-size: 19px; font-weight: normal; }
h3 { margin: 14px 0 4px 0; font-size: 16px; }
p { margin: 0 0 10px 0; }
ul { margin: 0 0 10px 0; padding-left: 20px; }
li { margin-bottom: 3px; }
img { max-width: 100%; }
.notice { padding: 6px 8px; background: #eaecf0; border: 1px solid #c8ccd1; font-size: 13px; }
.image { margin: 12px 0; font-size: 12px; color: #54595d; text-align: center; }
/* Links leaving the program look apart from links to the articles kept here. */
a { color: #3366cc; text-decoration: underline; }
a[data-offline="true"] { color: #0645ad; text-decoration: none; font-weight: bold; }
.source { margin-top: 24px; padding-top: 8px; border-top: 1px solid #c8ccd1; font-size: 12px;
          color: #54595d; }
</style>
</head>
<body>
<h1>$TITLE</h1>
$CONTENT
<p class="source">Wikipedia: <a href="$SOURCE_URL">$TITLE</a>. Text under CC BY-SA.</p>
</body>
</html>
